// reg export and reg import: .reg files through the platform's registry functions.
#include "commands.h"

#include "exit_status.h"
#include "output.h"
#include "platform/registry_admin.h"
#include "reg_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// The key and every subkey below it, a key before its subkeys, in the
// registry's order.
LONG Collect(HKEY key, const std::string &name, REGSAM access, std::vector<RegFileExportKey> &keys,
             std::string &failedKey) {
  keys.push_back({name, {}});
  std::vector<std::string> subkeys;
  LONG error = ReadValues(key, keys.back().values);
  if (error == ERROR_SUCCESS) {
    error = ReadSubkeyNames(key, subkeys);
  }
  for (std::size_t i = 0; error == ERROR_SUCCESS && i < subkeys.size(); ++i) {
    OpenRegistryKey subkey;
    const std::string subkeyName = name + "\\" + subkeys[i];
    error = subkey.Open(key, subkeys[i], access);
    if (error == ERROR_SUCCESS) {
      error = Collect(subkey.Handle(), subkeyName, access, keys, failedKey);
    } else {
      failedKey = subkeyName;
    }
  }
  if (error != ERROR_SUCCESS && failedKey.empty()) {
    failedKey = name;
  }
  return error;
}

bool ReadWholeFile(const std::string &path, std::string &bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return false;
  }
  std::ostringstream content;
  content << stream.rdbuf();
  bytes = content.str();
  return !stream.bad();
}

// Written beside the target and put in its place once complete, so that an
// export that fails part way leaves no half file, nor an older file cut short.
bool WriteWholeFile(const std::string &path, const std::string &bytes) {
  const std::string temporary = path + ".settingsctl-tmp";
  std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  stream.close();
  std::error_code error;
  if (stream) {
    std::filesystem::rename(temporary, path, error);
    if (!error) {
      return true;
    }
  }
  std::filesystem::remove(temporary, error);
  return false;
}

// Applies the file's keys in order; the first registry error ends it.
class Importer {
public:
  Importer(const std::string &file, REGSAM view) : file(file), view(view) {}

  bool Apply(const std::vector<RegFileKey> &keys) {
    for (const RegFileKey &key : keys) {
      if (!(key.remove ? DeleteKey(key) : WriteKey(key))) {
        return false;
      }
    }
    return true;
  }

private:
  bool Fail(int line, const std::string &subject, LONG error) {
    Complain(file + ":" + std::to_string(line) + ": " + subject, RegistryErrorText(error));
    return false;
  }

  bool DeleteKey(const RegFileKey &key) {
    const std::size_t slash = key.path.below.rfind('\\');
    const std::string parent =
        slash == std::string::npos ? std::string() : key.path.below.substr(0, slash);
    const std::string child =
        slash == std::string::npos ? key.path.below : key.path.below.substr(slash + 1);
    OpenRegistryKey handle;
    LONG error = handle.Open(key.path.root->handle, parent, KEY_ALL_ACCESS | view);
    if (error == ERROR_SUCCESS) {
      error = RegDeleteTreeA(handle.Handle(), child.c_str());
    }
    // A key that is not there is deleted already.
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ||
           Fail(key.line, LongKeyName(key.path), error);
  }

  bool WriteKey(const RegFileKey &key) {
    OpenRegistryKey handle;
    LONG error = handle.Create(key.path.root->handle, key.path.below, KEY_ALL_ACCESS | view);
    if (error != ERROR_SUCCESS) {
      return Fail(key.line, LongKeyName(key.path), error);
    }
    for (const RegFileValue &value : key.values) {
      const char *name = value.name.empty() ? nullptr : value.name.c_str();
      if (value.remove) {
        error = RegDeleteValueA(handle.Handle(), name);
        error = error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
      } else {
        error = RegSetValueExA(handle.Handle(), name, 0, value.type,
                               reinterpret_cast<const BYTE *>(value.data.data()),
                               static_cast<DWORD>(value.data.size()));
      }
      if (error != ERROR_SUCCESS) {
        return Fail(value.line,
                    LongKeyName(key.path) + " " + (name ? value.name : std::string("@")), error);
      }
    }
    return true;
  }

  const std::string &file;
  REGSAM view;
};

} // namespace

int RunRegExport(const Invocation &invocation) {
  RegistryPath path;
  if (!ParseRegistryPath(invocation.operands[0], path)) {
    Complain(invocation.operands[0], "not a registry path (it begins with CU, LM, CR or US)");
    return ExitUsage;
  }
  const std::string &file = invocation.operands[1];
  const REGSAM access = KEY_READ | invocation.options.viewFlags;
  OpenRegistryKey key;
  LONG error = key.Open(path.root->handle, path.below, access);
  if (error != ERROR_SUCCESS) {
    Complain(LongKeyName(path), RegistryErrorText(error));
    return error == ERROR_FILE_NOT_FOUND ? ExitNotFound : ExitNotStored;
  }
  std::vector<RegFileExportKey> keys;
  std::string failedKey;
  if ((error = Collect(key.Handle(), LongKeyName(path), access, keys, failedKey))) {
    Complain(failedKey, RegistryErrorText(error));
    return ExitNotStored;
  }
  std::string bytes;
  std::string problem;
  if (!RenderRegFile(keys, bytes, problem)) {
    Complain(problem, "nothing was written");
    return ExitNotStored;
  }
  if (!WriteWholeFile(file, bytes)) {
    Complain(file, "could not be written");
    return ExitNotStored;
  }
  return ExitSuccess;
}

int RunRegImport(const Invocation &invocation) {
  const std::string &file = invocation.operands[0];
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) {
    Complain(file, "cannot be read");
    return ExitBadInput;
  }
  std::vector<RegFileKey> keys;
  RegFileError error;
  if (!ParseRegFile(bytes, keys, error)) {
    Complain(file + ":" + std::to_string(error.line), error.what + "; nothing was imported");
    return ExitBadInput;
  }
  if (invocation.options.readOnly) {
    Complain(file, "not imported: --read-only");
    return ExitNotStored;
  }
  if (const LONG begun = BeginRegistryBatch()) {
    Complain(RegistryLocation(), RegistryErrorText(begun) + "; nothing was imported");
    return ExitNotStored;
  }
  Importer importer(file, invocation.options.viewFlags);
  if (!importer.Apply(keys)) {
    AbortRegistryBatch();
    if (!RegistryBatchesGroupWrites()) {
      Complain(file, "the lines before it were imported: this registry cannot take a file "
                     "back as a whole");
    }
    return ExitNotStored;
  }
  if (const LONG committed = CommitRegistryBatch()) {
    AbortRegistryBatch();
    Complain(RegistryLocation(), RegistryErrorText(committed) + "; nothing was imported");
    return ExitNotStored;
  }
  return ExitSuccess;
}
