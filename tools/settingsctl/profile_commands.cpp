// The profile-file commands, all through ProfileKey.
#include "commands.h"

#include "exit_status.h"
#include "numbers.h"
#include "output.h"
#include "platform/platform.h"
#include "settings/profile_key.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using Names = std::vector<ByteString>;

Names TakeNames(ByteString *array, std::uint32_t count) {
  std::unique_ptr<ByteString[]> owned(array);
  Names names;
  for (std::uint32_t i = 0; i < count; ++i) {
    names.push_back(owned[i]);
  }
  return names;
}

// Names compare as the engine compares them; a name listed twice is read
// through its first entry only, so it is shown once.
bool Contains(const Names &names, const std::string &name) {
  for (const ByteString &listed : names) {
    if (_stricmp(listed.c_str(), name.c_str()) == 0) {
      return true;
    }
  }
  return false;
}

Names Distinct(const Names &names) {
  Names distinct;
  for (const ByteString &name : names) {
    if (!Contains(distinct, name)) {
      distinct.push_back(name);
    }
  }
  return distinct;
}

Names SectionsOf(ProfileKey &key) {
  std::uint32_t count = 0;
  ByteString *array = key.EnumerateSections(count);
  return Distinct(TakeNames(array, count));
}

Names NamesOf(ProfileKey &key, const std::string &section) {
  std::uint32_t count = 0;
  ByteString *array = key.EnumerateValueNames(count, section);
  return Distinct(TakeNames(array, count));
}

enum class FileState { Missing, Readable, NotAFile, Unreadable };

FileState StateOf(const std::string &path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return FileState::Missing;
  }
  if (status.type() != std::filesystem::file_type::regular) {
    return FileState::NotAFile;
  }
  std::ifstream stream(path, std::ios::binary);
  return stream ? FileState::Readable : FileState::Unreadable;
}

// The exit status for a file that cannot serve the command, or 0.
int CheckFile(const std::string &path, bool mayBeMissing) {
  switch (StateOf(path)) {
  case FileState::Missing:
    if (mayBeMissing) {
      return ExitSuccess;
    }
    Complain(path, "no such file");
    return ExitNotFound;
  case FileState::NotAFile:
    Complain(path, "not a regular file");
    return ExitBadInput;
  case FileState::Unreadable:
    Complain(path, "cannot be read (permission denied, or held by another program)");
    return ExitBadInput;
  case FileState::Readable:
    break;
  }
  return ExitSuccess;
}

// Why the library refused a value, as far as it can be told from outside.
std::string RefusalReason(const std::string &section, const std::string &name,
                          const std::string &value) {
  auto breaks = [](const std::string &text) { return text.find_first_of("\r\n") != text.npos; };
  if (breaks(section) || breaks(name) || breaks(value)) {
    return "refused: a line break cannot be stored in a profile file";
  }
  const std::size_t start = name.find_first_not_of(" \t");
  if (section.find_first_not_of(" \t") == std::string::npos) {
    return "refused: the section name is empty";
  }
  if (start == std::string::npos) {
    return "refused: the value name is empty";
  }
  if (name[start] == '[' || name.find('=') != std::string::npos) {
    return "refused: a value name may not begin with '[' nor hold '='";
  }
  return "refused by the library";
}

class ProfileCommand {
public:
  explicit ProfileCommand(const Invocation &invocation)
      : invocation(invocation), options(invocation.options), file(invocation.operands[0]),
        key(std::make_unique<ProfileKey>(file)) {
    if (options.modeWord) {
      key->SetMode(1);
    }
  }

  ~ProfileCommand() {
    if (abandoned) {
      // A write-back that failed must not be tried again behind the
      // caller's back when the key goes: the change is given up, and the
      // cached file dies with the process.
      static auto *givenUp = new std::vector<std::unique_ptr<ProfileKey>>;
      givenUp->push_back(std::move(key));
    }
  }

  int Run() {
    switch (invocation.command) {
    case Command::Get:
      return Get();
    case Command::Set:
      return Set();
    case Command::SetNumber:
      return SetNumber();
    case Command::Sections:
      return ListSections();
    case Command::Names:
      return ListNames();
    case Command::DeleteSection:
      return DeleteSection();
    default:
      return Dump();
    }
  }

private:
  const std::string &Operand(std::size_t i) const { return invocation.operands[i]; }

  bool HasSection(const std::string &section) { return Contains(SectionsOf(*key), section); }

  bool HasValue(const std::string &section, const std::string &name) {
    return HasSection(section) && Contains(NamesOf(*key, section), name);
  }

  int Get() {
    const std::string &section = Operand(1);
    const std::string &name = Operand(2);
    std::uint32_t defaultNumber = 0;
    const bool numeric = options.number || options.hex;
    if (numeric && options.defaultText && !ParseNumber32(*options.defaultText, defaultNumber)) {
      Complain("--default", "bad number '" + *options.defaultText + "'");
      return ExitUsage;
    }
    if (const int status = CheckFile(file, options.defaultText.has_value())) {
      return status;
    }
    const bool found = StateOf(file) == FileState::Readable && HasValue(section, name);
    if (!found && !options.defaultText) {
      return ExitNotFound;
    }
    nlohmann::ordered_json value;
    std::string text;
    if (numeric) {
      const std::uint32_t number = !found        ? defaultNumber
                                   : options.hex ? key->GetHexNumber(name, section, 0)
                                                 : key->GetNumber(name, section, 0);
      value = number;
      text = std::to_string(number);
    } else {
      ByteString read;
      if (found) {
        key->GetString(read, "", name, section);
      } else {
        read = *options.defaultText;
      }
      text = read;
      value = JsonText(read);
    }
    if (options.json) {
      PrintJson({{"section", JsonText(section)}, {"name", JsonText(name)}, {"value", value}});
    } else {
      PrintLine(text);
    }
    return ExitSuccess;
  }

  // Changes go to the file with its layout kept unless --normalize.
  int PrepareChange(bool mayBeMissing) {
    if (options.readOnly) {
      Complain(file, "not changed: --read-only");
      return ExitNotStored;
    }
    if (const int status = CheckFile(file, mayBeMissing)) {
      return status;
    }
    if (!options.normalize) {
      key->SetKeepLayout(1);
    }
    return ExitSuccess;
  }

  int Store(std::int32_t stored, const std::string &refusal) {
    if (stored == 0) {
      Complain(file, refusal);
      return ExitNotStored;
    }
    if (key->Flush() == 0) {
      abandoned = true;
      Complain(file, "could not be written (read-only, its folder not writable, or the disk "
                     "full); the file is as it was");
      return ExitNotStored;
    }
    return ExitSuccess;
  }

  // An empty value name would make the library delete the whole section.
  int RefuseEmptyName(const std::string &name) {
    if (!name.empty()) {
      return ExitSuccess;
    }
    Complain(file, "[" + Operand(1) + "]: refused: the value name is empty");
    return ExitNotStored;
  }

  int Set() {
    if (const int status = PrepareChange(true)) {
      return status;
    }
    if (const int status = RefuseEmptyName(Operand(2))) {
      return status;
    }
    const std::string &section = Operand(1);
    const std::string &name = Operand(2);
    const std::string &value = Operand(3);
    return Store(key->SetString(value, name, section),
                 "[" + section + "] " + name + ": " + RefusalReason(section, name, value));
  }

  int SetNumber() {
    std::uint32_t number = 0;
    if (!ParseNumber32(Operand(3), number)) {
      Complain(Operand(3), "bad number");
      return ExitUsage;
    }
    if (const int status = PrepareChange(true)) {
      return status;
    }
    if (const int status = RefuseEmptyName(Operand(2))) {
      return status;
    }
    const std::string &section = Operand(1);
    const std::string &name = Operand(2);
    return Store(key->SetNumber(number, name, section),
                 "[" + section + "] " + name + ": " + RefusalReason(section, name, ""));
  }

  int DeleteSection() {
    if (const int status = PrepareChange(false)) {
      return status;
    }
    const std::string &section = Operand(1);
    if (!HasSection(section)) {
      return ExitNotFound;
    }
    // An empty value name deletes the section.
    return Store(key->SetString("", "", section), "[" + section + "]: refused by the library");
  }

  int ListSections() {
    if (const int status = CheckFile(file, false)) {
      return status;
    }
    return PrintNames(SectionsOf(*key), [](const ByteString &section) {
      return nlohmann::ordered_json{{"section", JsonText(section)}};
    });
  }

  int ListNames() {
    if (const int status = CheckFile(file, false)) {
      return status;
    }
    const std::string &section = Operand(1);
    if (!HasSection(section)) {
      return ExitNotFound;
    }
    return PrintNames(NamesOf(*key, section), [&section](const ByteString &name) {
      return nlohmann::ordered_json{{"section", JsonText(section)}, {"name", JsonText(name)}};
    });
  }

  // Each name on a line of its own, or with --json one array of the objects
  // asJson makes.
  template <typename AsJson> int PrintNames(const Names &names, AsJson asJson) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ByteString &name : names) {
      if (options.json) {
        list.push_back(asJson(name));
      } else {
        PrintLine(name);
      }
    }
    if (options.json) {
      PrintJson(list);
    }
    return ExitSuccess;
  }

  int Dump() {
    if (const int status = CheckFile(file, false)) {
      return status;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ByteString &section : SectionsOf(*key)) {
      const Names names = NamesOf(*key, section);
      if (!options.json) {
        PrintLine("[" + section + "]");
      } else if (names.empty()) {
        list.push_back({{"section", JsonText(section)}});
      }
      for (const ByteString &name : names) {
        ByteString value;
        key->GetString(value, "", name, section);
        if (options.json) {
          list.push_back({{"section", JsonText(section)},
                          {"name", JsonText(name)},
                          {"value", JsonText(value)}});
        } else {
          PrintLine(name + "=" + value);
        }
      }
    }
    if (options.json) {
      PrintJson(list);
    }
    return ExitSuccess;
  }

  const Invocation &invocation;
  const Options &options;
  const std::string file;
  std::unique_ptr<ProfileKey> key;
  bool abandoned = false;
};

} // namespace

int RunProfileCommand(const Invocation &invocation) {
  ProfileCommand command(invocation);
  return command.Run();
}
