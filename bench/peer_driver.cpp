// The profile-file engine under the bench-peers driver protocol (load,
// lookup, enumerate, update; bench_protocol.hpp does the timing, counting and
// checksums), through the engine's public calls in profile/profile.h.
//
// How each op reaches the engine:
// - load: ProfileOpen(path) reads the file into the process-wide cache (the
//   path is never cached at that point); ProfileRelease(path) takes it out and
//   frees it. Releasing every time keeps the next load from being a cache hit.
// - lookup: one ProfileGetString call per key into a 64 KiB buffer, larger
//   than any line of the workloads. Every call finds the file in the cache by
//   path, then the section and the entry through the engine's name indexes,
//   as any caller's call does. A miss answers the caller's default, so the
//   default is a text no value can equal. This measures the single call, the
//   engine's floor; ProfileKey::GetString makes the same call into a buffer of
//   its own.
// - enumerate: ProfileGetSectionName(i) for i = 0, 1, ... until it answers 0;
//   ProfileFindSection(name) for each; ProfileGetEntryName(j) for j = 0, 1,
//   ... until 0. One call per name with a large buffer: the section listing's
//   cursor answers the next index at once, and an entry's list position leads
//   to its record at once, so listing is linear. ProfileKey's listings ask
//   three times per name (count, length, fill).
// - update: ProfileSetString per target (through the indexes, constant time
//   each), then ProfileRelease, which writes the changed file back to the path
//   it was loaded from (kWritesInPlace: the harness copies FILE to OUTFILE
//   first and the driver loads OUTFILE). The write goes to a temporary file,
//   fsynced, renamed over the target, then the folder fsynced; the peers write
//   without fsync, so this op includes two disk flushes they do not pay, and
//   on small files those flushes are nearly all of it.
// - content (untimed checksums and update targets): walks the cached records
//   from ProfileOpen directly (peer_driver_common.h).
//
// Semantics beside the workloads: names are matched ignoring ASCII case and
// the first match wins, as the protocol asks. A repeated section name would
// be listed once per header but ProfileFindSection would answer the first
// for each (the workloads have none). Values lose one pair of enclosing
// quotes, lines without '=' outside headers are ignored, an entry line with
// an empty name ends its section, and the file is written back with CR LF.
#include "bench_protocol.hpp"
#include "peer_driver_common.h"

#include "profile/profile.h"

#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t BufferSize = 65536;
char buffer[BufferSize];

struct Doc {
  std::string path;
  ProfileFile *file;
};

// A name of length n in buffer, terminated for use as a lookup key; a name
// that did not fit whole ends the run rather than be listed cut short.
const char *Terminate(std::uint32_t n) {
  if (n >= BufferSize) {
    bench::die("name longer than the driver's buffer");
  }
  buffer[n] = '\0';
  return buffer;
}

using peer_driver::Missing;
using peer_driver::MissingLength;

} // namespace

struct EngineAdapter {
  using Doc = ::Doc;
  static constexpr bool kLookup = true, kEnumerate = true, kUpdate = true, kContent = true;
  static constexpr bool kWritesInPlace = true;

  static Doc *parse(const char *path) {
    ProfileFile *file = nullptr;
    if (ProfileOpen(path, &file) == 0 || file == nullptr) {
      std::fprintf(stderr, "settingsstore-peer-driver: ProfileOpen could not read %s\n", path);
      return nullptr;
    }
    return new Doc{path, file};
  }

  static void release(Doc *d) {
    ProfileRelease(d->path.c_str());
    delete d;
  }

  template <class F>
  static bool lookup(Doc *d, const std::string &section, const std::string &name, F &&use) {
    const std::uint32_t n = ProfileGetString(section.c_str(), name.c_str(), Missing, buffer,
                                             BufferSize, d->path.c_str());
    if (n == MissingLength && std::memcmp(buffer, Missing, MissingLength) == 0) {
      return false;
    }
    if (n >= BufferSize - 1) {
      bench::die("value longer than the driver's buffer", name.c_str());
    }
    use(buffer, static_cast<std::size_t>(n));
    return true;
  }

  template <class S, class E> static void enumerate(Doc *d, S &&on_section, E &&on_entry) {
    const char *path = d->path.c_str();
    for (std::uint32_t i = 0;; ++i) {
      const std::uint32_t n = ProfileGetSectionName(i, buffer, BufferSize, path);
      if (n == 0) {
        break;
      }
      const char *name = Terminate(n);
      on_section(name, static_cast<std::size_t>(n));
      ProfileSection *section = ProfileFindSection(name, path);
      for (std::uint32_t j = 0;; ++j) {
        const std::uint32_t m = ProfileGetEntryName(j, buffer, BufferSize, section);
        if (m == 0) {
          break;
        }
        Terminate(m);
        on_entry(buffer, static_cast<std::size_t>(m));
      }
    }
  }

  template <class S, class E> static void content(Doc *d, S &&on_section, E &&on_entry) {
    peer_driver::WalkRecords(d->file, on_section, on_entry);
  }

  static bool set(Doc *d, const std::string &section, const std::string &name,
                  const std::string &value) {
    return ProfileSetString(section.c_str(), name.c_str(), value.c_str(), d->path.c_str()) != 0;
  }

  // The engine writes a changed file back when it leaves the cache: release.
  static bool write(Doc *, const char *) { return true; }
};

int main(int argc, char **argv) {
  return bench::run<EngineAdapter>(argc, argv);
}
