// The registry value commands: values through RegistryKey, listings with
// types and deletion through the platform's registry functions.
#include "commands.h"

#include "exit_status.h"
#include "numbers.h"
#include "output.h"
#include "registry_access.h"
#include "settings/registry_key.h"

#include <memory>

namespace {

const char *const defaultValueName = "(Default)";

std::string HexBytes(const std::string &data) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : data) {
    hex += digits[byte >> 4];
    hex += digits[byte & 0xF];
  }
  return hex;
}

// The strings of REG_MULTI_SZ data, up to the empty string that ends them.
std::vector<std::string> MultiStrings(const std::string &data) {
  std::vector<std::string> strings;
  for (std::size_t start = 0; start < data.size();) {
    const std::size_t end = std::min(data.find('\0', start), data.size());
    if (end == start) {
      break;
    }
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

class RegistryCommand {
public:
  explicit RegistryCommand(const Invocation &invocation)
      : invocation(invocation), options(invocation.options) {}

  int Run() {
    if (!ParseRegistryPath(invocation.operands[0], path)) {
      Complain(invocation.operands[0], "not a registry path (it begins with CU, LM, CR or US)");
      return ExitUsage;
    }
    section = invocation.operands.size() > 1 ? invocation.operands[1] : std::string();
    keyPath = path;
    keyPath.below = JoinKeyPath(path.below, section);
    switch (invocation.command) {
    case Command::RegGet:
      return Get();
    case Command::RegSet:
      return Set();
    case Command::RegNames:
      return ListNames();
    case Command::RegSections:
      return ListSections();
    default:
      return Delete();
    }
  }

private:
  REGSAM ReadAccess() const { return KEY_READ | options.viewFlags; }

  // The key of PATH and SECTION opened for reading; the exit status when it
  // cannot be (1, silently, when it does not exist).
  int OpenForReading(OpenRegistryKey &key, const RegistryPath &which) {
    const LONG error = key.Open(which.root->handle, which.below, ReadAccess());
    if (error == ERROR_FILE_NOT_FOUND) {
      return ExitNotFound;
    }
    if (error != ERROR_SUCCESS) {
      Complain(LongKeyName(which), RegistryErrorText(error));
      return ExitNotStored;
    }
    return ExitSuccess;
  }

  // The library's key: an empty SECTION names PATH itself, which the key
  // reaches as the section "\".
  std::unique_ptr<RegistryKey> MakeKey(bool readOnly) const {
    return std::make_unique<RegistryKey>(LibraryPath(path), readOnly ? 1 : 0, options.viewFlags);
  }

  ByteString KeySection() const { return section.empty() ? ByteString("\\") : section; }

  int Get() {
    const std::string &name = invocation.operands[2];
    const char *addressed = name == defaultValueName ? nullptr : name.c_str();
    OpenRegistryKey handle;
    TypedValue probe;
    const int status = OpenForReading(handle, keyPath);
    if (status == ExitNotStored) {
      return status;
    }
    const LONG error =
        status == ExitSuccess ? ReadValue(handle.Handle(), addressed, probe) : ERROR_FILE_NOT_FOUND;
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
      Complain(LongKeyName(keyPath) + " " + name, RegistryErrorText(error));
      return ExitNotStored;
    }
    if (error == ERROR_FILE_NOT_FOUND) {
      return options.defaultText ? Print(name, *options.defaultText, nullptr) : ExitNotFound;
    }
    std::unique_ptr<RegistryKey> key = MakeKey(true);
    ByteString text;
    unsigned char *raw = nullptr;
    std::uint32_t size = 0;
    key->GetValue(text, &raw, &size, name, KeySection());
    std::unique_ptr<unsigned char[]> owned(raw);
    switch (probe.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return Print(name, text, &probe.type);
    case REG_DWORD:
    case REG_QWORD:
      // A number whose data has another size than its type's is shown as bytes.
      if (probe.data.size() == (probe.type == REG_DWORD ? 4u : 8u)) {
        return PrintNumber(name, text, probe.type);
      }
      return Print(name, HexBytes(probe.data), &probe.type);
    case REG_MULTI_SZ:
      return PrintStrings(name, MultiStrings(raw ? std::string(reinterpret_cast<char *>(raw), size)
                                                 : std::string()));
    default:
      return Print(name,
                   HexBytes(raw ? std::string(reinterpret_cast<char *>(raw), size) : std::string()),
                   &probe.type);
    }
  }

  nlohmann::ordered_json Described(const std::string &name, nlohmann::ordered_json value,
                                   const DWORD *type) {
    nlohmann::ordered_json object = {
        {"section", JsonText(section)}, {"name", JsonText(name)}, {"value", std::move(value)}};
    if (type) {
      object["type"] = TypeName(*type);
    }
    return object;
  }

  int Print(const std::string &name, const std::string &text, const DWORD *type) {
    if (options.json) {
      PrintJson(Described(name, JsonText(text), type));
    } else {
      PrintLine(text);
    }
    return ExitSuccess;
  }

  int PrintNumber(const std::string &name, const std::string &text, DWORD type) {
    if (options.json) {
      PrintJson(Described(name, std::stoull(text), &type));
    } else {
      PrintLine(text);
    }
    return ExitSuccess;
  }

  int PrintStrings(const std::string &name, const std::vector<std::string> &strings) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const std::string &text : strings) {
      if (options.json) {
        list.push_back(JsonText(text));
      } else {
        PrintLine(text);
      }
    }
    if (options.json) {
      const DWORD type = REG_MULTI_SZ;
      PrintJson(Described(name, list, &type));
    }
    return ExitSuccess;
  }

  int Set() {
    const std::string &name = invocation.operands[2];
    const std::string &value = invocation.operands[3];
    std::uint32_t number = 0;
    if ((options.dword || options.number) && !ParseNumber32(value, number)) {
      Complain(value, "bad number");
      return ExitUsage;
    }
    if (options.dword && name == defaultValueName) {
      Complain(name, "--dword: the unnamed value is kept as text here; store it without --dword");
      return ExitUsage;
    }
    std::unique_ptr<RegistryKey> key = MakeKey(options.readOnly);
    std::int32_t stored = 0;
    if (options.dword) {
      stored = key->SetDword(number, name, KeySection());
    } else if (options.number && name != defaultValueName) {
      stored = key->SetNumber(number, name, KeySection());
    } else {
      ByteString text = value;
      if (options.number) {
        // As SetNumber writes it, into the unnamed value.
        text.Format("%d", static_cast<int>(number));
      }
      stored = key->SetString(text, name, KeySection());
    }
    if (stored == 0) {
      Complain(LongKeyName(keyPath) + " " + name,
               options.readOnly ? "not changed: --read-only"
                                : "could not be stored (access denied, or a registry error)");
      return ExitNotStored;
    }
    return ExitSuccess;
  }

  int ListNames() {
    OpenRegistryKey handle;
    if (const int status = OpenForReading(handle, keyPath)) {
      return status;
    }
    std::vector<TypedValue> values;
    if (const LONG error = ReadValues(handle.Handle(), values)) {
      Complain(LongKeyName(keyPath), RegistryErrorText(error));
      return ExitNotStored;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TypedValue &value : values) {
      const std::string name = value.name.empty() ? defaultValueName : value.name;
      if (options.json) {
        list.push_back({{"section", JsonText(section)},
                        {"name", JsonText(name)},
                        {"type", TypeName(value.type)}});
      } else {
        PrintLine(name + "\t" + TypeName(value.type));
      }
    }
    if (options.json) {
      PrintJson(list);
    }
    return ExitSuccess;
  }

  int ListSections() {
    OpenRegistryKey handle;
    if (const int status = OpenForReading(handle, path)) {
      return status;
    }
    std::unique_ptr<RegistryKey> key = MakeKey(true);
    std::uint32_t count = 0;
    std::unique_ptr<ByteString[]> names(key->EnumerateSections(count));
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::uint32_t i = 0; i < count; ++i) {
      if (options.json) {
        list.push_back({{"section", JsonText(names[i])}});
      } else {
        PrintLine(names[i]);
      }
    }
    if (options.json) {
      PrintJson(list);
    }
    return ExitSuccess;
  }

  int Delete() {
    const bool valueOnly = invocation.operands.size() > 2;
    if (!valueOnly && keyPath.below.empty()) {
      Complain(LongKeyName(keyPath), "a root key cannot be deleted");
      return ExitUsage;
    }
    if (options.readOnly) {
      Complain(LongKeyName(keyPath), "not changed: --read-only");
      return ExitNotStored;
    }
    const std::string &name = valueOnly ? invocation.operands[2] : std::string();
    // The value's key, or the parent of the key that goes.
    RegistryPath parent = keyPath;
    std::string child;
    if (!valueOnly) {
      const std::size_t slash = keyPath.below.rfind('\\');
      child = slash == std::string::npos ? keyPath.below : keyPath.below.substr(slash + 1);
      parent.below = slash == std::string::npos ? std::string() : keyPath.below.substr(0, slash);
    }
    OpenRegistryKey handle;
    LONG error = handle.Open(parent.root->handle, parent.below, KEY_ALL_ACCESS | options.viewFlags);
    if (error == ERROR_SUCCESS) {
      error = valueOnly ? RegDeleteValueA(handle.Handle(),
                                          name == defaultValueName ? nullptr : name.c_str())
                        : RegDeleteTreeA(handle.Handle(), child.c_str());
    }
    const std::string subject = LongKeyName(keyPath) + (valueOnly ? " " + name : std::string());
    if (error == ERROR_FILE_NOT_FOUND) {
      Complain(subject, "no such " + std::string(valueOnly ? "value" : "key"));
      return ExitNotFound;
    }
    if (error != ERROR_SUCCESS) {
      Complain(subject, RegistryErrorText(error));
      return ExitNotStored;
    }
    return ExitSuccess;
  }

  const Invocation &invocation;
  const Options &options;
  RegistryPath path;    // PATH
  std::string section;  // SECTION
  RegistryPath keyPath; // PATH and SECTION
};

} // namespace

int RunRegistryCommand(const Invocation &invocation) {
  RegistryCommand command(invocation);
  return command.Run();
}
