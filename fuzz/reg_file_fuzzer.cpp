// settingsctl's .reg reader on arbitrary bytes. Checked: no crash and no
// sanitizer report; a file it accepts is accepted whole or refused with a
// line inside the file; and when every key of an accepted file is named
// once and holds each value once, with nothing to delete, writing those keys
// in the 5.00 format and reading that back gives the very same keys, values,
// types and data, and writing them again gives the very same bytes.
#include "platform/posix/registry_names.h"
#include "reg_file.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char *what, const std::string &detail = std::string()) {
  std::fprintf(stderr, "reg file fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  std::abort();
}

void Require(bool holds, const char *what, const std::string &detail = std::string()) {
  if (!holds) {
    Fail(what, detail);
  }
}

// At least as many lines as the file has: LF, CR LF and a lone CR each end
// one (counting every CR and LF byte errs only upwards).
int MostLines(const std::string &bytes) {
  int lines = 1;
  for (const char c : bytes) {
    lines += c == '\n' || c == '\r';
  }
  return lines;
}

// Keys as an export names them, with their values in file order; false when
// the file deletes something or names a key or a value twice (the registry
// would merge those, which is not what is checked here).
bool AsExport(const std::vector<RegFileKey> &keys, std::vector<RegFileExportKey> &out) {
  std::set<std::string> keyNames;
  for (const RegFileKey &key : keys) {
    if (key.remove || key.path.root == nullptr ||
        !keyNames.insert(posix_registry::NameKey(LongKeyName(key.path))).second) {
      return false;
    }
    RegFileExportKey exported{LongKeyName(key.path), {}};
    std::set<std::string> valueNames;
    for (const RegFileValue &value : key.values) {
      if (value.remove || !valueNames.insert(posix_registry::NameKey(value.name)).second) {
        return false;
      }
      exported.values.push_back({value.name, value.type, value.data});
    }
    out.push_back(std::move(exported));
  }
  return true;
}

bool SameKeys(const std::vector<RegFileExportKey> &left,
              const std::vector<RegFileExportKey> &right) {
  if (left.size() != right.size()) {
    return false;
  }
  for (std::size_t k = 0; k < left.size(); ++k) {
    if (left[k].name != right[k].name || left[k].values.size() != right[k].values.size()) {
      return false;
    }
    for (std::size_t v = 0; v < left[k].values.size(); ++v) {
      const TypedValue &a = left[k].values[v];
      const TypedValue &b = right[k].values[v];
      if (a.name != b.name || a.type != b.type || a.data != b.data) {
        return false;
      }
    }
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  std::vector<RegFileKey> keys;
  RegFileError error;
  if (!ParseRegFile(bytes, keys, error)) {
    Require(!error.what.empty(), "a refusal without a reason");
    Require(error.line >= 1 && error.line <= MostLines(bytes), "a refusal outside the file",
            std::to_string(error.line) + ": " + error.what);
    return 0;
  }
  std::vector<RegFileExportKey> first;
  if (!AsExport(keys, first)) {
    return 0;
  }
  std::string written;
  std::string problem;
  if (!RenderRegFile(first, written, problem)) {
    Require(!problem.empty(), "a refused export without a reason");
    return 0;
  }
  std::vector<RegFileKey> again;
  Require(ParseRegFile(written, again, error), "an exported file is refused",
          std::to_string(error.line) + ": " + error.what);
  std::vector<RegFileExportKey> second;
  Require(AsExport(again, second), "an exported file names a key or value twice");
  Require(SameKeys(first, second), "keys read back differ from the keys written");
  std::string rewritten;
  Require(RenderRegFile(second, rewritten, problem), "a second export is refused", problem);
  Require(rewritten == written, "exporting again gives other bytes");
  return 0;
}
