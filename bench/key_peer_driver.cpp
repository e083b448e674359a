// ProfileKey under the bench-peers driver protocol (load, lookup, enumerate,
// update; bench_protocol.hpp does the timing, counting and checksums): the
// calls a component of the library makes, each turned by the key into calls
// on the engine. Beside settingsstore-peer-driver (the engine's own entry
// points) it shows what the key adds.
//
// How each op reaches the key:
// - load: a new ProfileKey on the path and GetNumber with empty names, which
//   has the engine read the file into its cache (a key touches no file before
//   its first operation) and answers the default; deleting the key releases
//   the file from the cache and frees it, so the next load reads it again.
// - lookup: one key for the whole run; GetString(out, default, name, section)
//   per line of the keys file, with both names given each time (they replace
//   the key's current ones). GetString asks the engine once, into a buffer on
//   its stack, and copies the text into out; every argument is a ByteString
//   passed by value, as callers pass them, and out is a fresh ByteString each
//   time, as a caller's local would be. A miss delivers the default, a text
//   that no value can equal.
// - enumerate: EnumerateSections, then EnumerateValueNames(count, section)
//   for each section name: arrays of ByteString made with new[] and released
//   with delete[]. The key asks the engine by index, three times per name
//   (count, length, copy); each of those calls takes constant time.
// - update: SetString(value, name, section) per target; deleting the key
//   releases the file, which the engine writes back to the path it was loaded
//   from (kWritesInPlace: the harness copies FILE to OUTFILE first and the
//   key works on OUTFILE), through a temporary file, fsynced and renamed.
// - content (untimed checksums and update targets): the engine's cached
//   records, found with ProfileOpen (peer_driver_common.h).
//
// Semantics beside the workloads are the engine's (see peer_driver.cpp). A
// key cannot be asked with an empty name (it would keep its current one),
// so a keys line with an empty field ends the run.
#include "bench_protocol.hpp"
#include "peer_driver_common.h"

#include "profile/profile.h"
#include "settings/profile_key.h"

#include <string>

namespace {

struct Doc {
  std::string path;
  ProfileKey *key;
};

const ProfileFile *CachedFile(const Doc *d) {
  ProfileFile *file = nullptr;
  if (ProfileOpen(d->path.c_str(), &file) == 0 || file == nullptr) {
    bench::die("the file is not in the engine's cache", d->path.c_str());
  }
  return file;
}

} // namespace

struct KeyAdapter {
  using Doc = ::Doc;
  static constexpr bool kLookup = true, kEnumerate = true, kUpdate = true, kContent = true;
  static constexpr bool kWritesInPlace = true;

  static Doc *parse(const char *path) {
    auto *key = new ProfileKey(ByteString(std::string(path)));
    key->GetNumber(ByteString(), ByteString(), 0);
    return new Doc{path, key};
  }

  static void release(Doc *d) {
    delete d->key;
    delete d;
  }

  template <class F>
  static bool lookup(Doc *d, const std::string &section, const std::string &name, F &&use) {
    if (section.empty() || name.empty()) {
      bench::die("a key needs both names; the keys file has an empty one");
    }
    ByteString value;
    d->key->GetString(value, ByteString(peer_driver::Missing), name, section);
    if (value.size() == peer_driver::MissingLength && value == peer_driver::Missing) {
      return false;
    }
    use(value.data(), value.size());
    return true;
  }

  template <class S, class E> static void enumerate(Doc *d, S &&on_section, E &&on_entry) {
    std::uint32_t sectionCount = 0;
    ByteString *sections = d->key->EnumerateSections(sectionCount);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
      on_section(sections[i].data(), sections[i].size());
      std::uint32_t nameCount = 0;
      ByteString *names = d->key->EnumerateValueNames(nameCount, sections[i]);
      for (std::uint32_t j = 0; j < nameCount; ++j) {
        on_entry(names[j].data(), names[j].size());
      }
      delete[] names;
    }
    delete[] sections;
  }

  template <class S, class E> static void content(Doc *d, S &&on_section, E &&on_entry) {
    peer_driver::WalkRecords(CachedFile(d), on_section, on_entry);
  }

  static bool set(Doc *d, const std::string &section, const std::string &name,
                  const std::string &value) {
    return d->key->SetString(value, name, section) != 0;
  }

  // Deleting the key in release writes the changed file back.
  static bool write(Doc *, const char *) { return true; }
};

int main(int argc, char **argv) {
  return bench::run<KeyAdapter>(argc, argv);
}
