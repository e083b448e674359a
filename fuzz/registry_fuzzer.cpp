// The Linux registry functions under a sequence of calls chosen by the input
// (see fuzz_script.h), each checked against a small model of the registry
// kept in memory. Eight handle slots; slot 0 holds a key of its own under
// HKEY_CURRENT_USER, made afresh for every input, with full access. A slot
// that was never filled passes a null handle.
//
//   c slot|path|access|into     RegCreateKeyExA, the new handle into a slot
//   o slot|path|access|into     RegOpenKeyExA
//   x slot                      RegCloseKey
//   s slot|name|type|data|size  RegSetValueExA (data "~": null data)
//   q slot|name|mode|room       RegQueryValueExA
//   v slot|index|nameRoom|mode|room
//                               RegEnumValueA
//   k slot|index|room           RegEnumKeyA
//   d slot|name                 RegDeleteValueA
//   t slot|path                 RegDeleteTreeA
//
// mode says how the data are asked for: 0 no size, 1 the size only, 2 a
// buffer of room bytes, 3 a buffer but no size. Names "~" are null.
//
// Checked for every call: the error code; sizes, types, names and data
// delivered, and that nothing outside what the call may write is touched;
// at the end, every key and value of the model is listed, in order, by the
// registry and nothing else.
#include "fuzz_script.h"
#include "platform/platform.h"
#include "platform/posix/registry_names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Removes the scratch folder; a failure does it too, since it never
// returns to the exit handlers.
void RemoveFolder();

[[noreturn]] void Fail(const char *what, const std::string &detail = std::string()) {
  std::fprintf(stderr, "registry fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  RemoveFolder();
  std::abort();
}

void Require(bool holds, const char *what, const std::string &detail = std::string()) {
  if (!holds) {
    Fail(what, detail);
  }
}

void RequireError(LONG got, LONG expected, const char *what) {
  Require(got == expected, what,
          "answered " + std::to_string(got) + ", expected " + std::to_string(expected));
}

// How the registry compares names: names with equal keys are one name, and
// listings come in the order of the keys, compared as bytes. The model takes
// the registry's own key (Unicode case folding of UTF-8 names); the one place
// to change should the model need a folding of its own.
std::string FoldName(const std::string &name) {
  return posix_registry::NameKey(name);
}

constexpr std::size_t longestKeyName = 255;
constexpr std::size_t longestValueName = 16383;
constexpr const char *fuzzKeyName = "settingsstore-fuzz";

// --- The model ---

struct ModelValue {
  std::string name;
  DWORD type = 0;
  std::string data;
};

struct ModelKey {
  std::string name;
  std::map<std::string, ModelValue> values;                 // by folded name
  std::map<std::string, std::shared_ptr<ModelKey>> subkeys; // by folded name
  bool deleted = false;
};

void MarkDeleted(ModelKey &key) {
  key.deleted = true;
  for (auto &subkey : key.subkeys) {
    MarkDeleted(*subkey.second);
  }
}

struct Slot {
  HKEY handle = nullptr;
  std::shared_ptr<ModelKey> key;
  REGSAM access = 0;
  bool open = false;
};

// Key names between backslashes; empty ones are skipped, a leading
// backslash is refused, and so is a name longer than a key name may be.
LONG SplitPath(const std::string &path, std::vector<std::string> &names) {
  if (!path.empty() && path[0] == '\\') {
    return ERROR_BAD_PATHNAME;
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) {
      end = path.size();
    }
    if (end - start > longestKeyName) {
      return ERROR_INVALID_PARAMETER;
    }
    if (end > start) {
      names.push_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

const REGSAM accessChoices[] = {KEY_ALL_ACCESS,  KEY_READ,      KEY_WRITE, KEY_READ | KEY_WRITE,
                                KEY_QUERY_VALUE, KEY_SET_VALUE, 0};
constexpr REGSAM treeAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

// A buffer between guard bytes.
struct Guarded {
  static constexpr std::size_t guard = 16;
  static constexpr unsigned char fill = 0xA5;
  std::vector<unsigned char> bytes;
  std::size_t size;
  explicit Guarded(std::size_t size) : bytes(size + 2 * guard, fill), size(size) {}
  unsigned char *Data() { return bytes.data() + guard; }
  char *Text() { return reinterpret_cast<char *>(Data()); }
  void RequireGuards() const {
    for (std::size_t i = 0; i < guard; ++i) {
      Require(bytes[i] == fill && bytes[guard + size + i] == fill, "write outside the buffer");
    }
  }
  std::string Inside() const {
    return std::string(reinterpret_cast<const char *>(bytes.data()) + guard, size);
  }
  bool Untouched() const { return Inside() == std::string(size, static_cast<char>(fill)); }
};

std::size_t RoomField(const fuzz::Operation &op, std::size_t field) {
  const std::int64_t room = op.Number(field, 16);
  return static_cast<std::size_t>(room < 0 ? 0 : room > (1 << 21) ? (1 << 21) : room);
}

constexpr DWORD untouchedNumber = 0xDEADBEEF;

// What a value query delivers in a given mode, checked against the value.
// The registry's rules: without a size nothing but the type; a buffer too
// small gets nothing, ERROR_MORE_DATA and the size needed; string data with
// room to spare gets a NUL behind them that the size does not count.
struct DataRequest {
  int mode;
  Guarded buffer;
  DWORD size;
  DWORD type = untouchedNumber;
  DataRequest(int mode, std::size_t room)
      : mode(mode), buffer(mode == 2 || mode == 3 ? room : 0), size(static_cast<DWORD>(room)) {}
  LPBYTE Data() { return mode == 2 || mode == 3 ? buffer.Data() : nullptr; }
  LPDWORD Size() { return mode == 1 || mode == 2 ? &size : nullptr; }

  // The answer the rules give for value (null: a failure before delivery).
  LONG Expected(const ModelValue *value, LONG failure) const {
    if (value == nullptr) {
      return failure;
    }
    if (mode == 2 && buffer.size < value->data.size()) {
      return ERROR_MORE_DATA;
    }
    return ERROR_SUCCESS;
  }

  void Check(const ModelValue *value, LONG answer, DWORD roomGiven) const {
    buffer.RequireGuards();
    if (value == nullptr || (answer != ERROR_SUCCESS && answer != ERROR_MORE_DATA)) {
      Require(type == untouchedNumber, "type written by a failed call");
      Require(size == roomGiven, "size written by a failed call");
      Require(buffer.Untouched(), "data written by a failed call");
      return;
    }
    Require(type == value->type, "type delivered");
    const std::size_t length = value->data.size();
    if (mode == 1 || mode == 2) {
      Require(size == length, "size delivered");
    }
    if (mode != 2) {
      Require(buffer.Untouched(), "data written without a size");
      return;
    }
    const std::string inside = buffer.Inside();
    if (answer == ERROR_MORE_DATA) {
      Require(buffer.Untouched(), "data written into a buffer too small");
      return;
    }
    Require(inside.compare(0, length, value->data) == 0, "data delivered");
    std::size_t from = length;
    if (IsStringType(value->type) && length > 0 && length < buffer.size &&
        value->data.back() != '\0') {
      Require(inside[length] == '\0', "a NUL behind string data");
      from = length + 1;
    }
    Require(inside.substr(from) ==
                std::string(buffer.size - from, static_cast<char>(Guarded::fill)),
            "bytes written behind the data");
  }
};

class Session {
public:
  Session() {
    RegDeleteTreeA(HKEY_CURRENT_USER, fuzzKeyName);
    HKEY root = nullptr;
    Require(RegCreateKeyExA(HKEY_CURRENT_USER, fuzzKeyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &root, nullptr) == ERROR_SUCCESS,
            "making the fuzz key");
    rootKey = std::make_shared<ModelKey>();
    rootKey->name = fuzzKeyName;
    slots[0] = {root, rootKey, KEY_ALL_ACCESS, true};
  }

  ~Session() {
    for (Slot &slot : slots) {
      if (slot.open) {
        RegCloseKey(slot.handle);
      }
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, fuzzKeyName);
  }

  void Run(const fuzz::Operation &op) {
    Slot &slot = slots[static_cast<std::size_t>(op.Number(0)) % slots.size()];
    switch (op.letter) {
    case 'c':
    case 'o':
      OpenOrCreate(op, slot, op.letter == 'c');
      break;
    case 'x':
      RequireError(RegCloseKey(slot.handle), slot.open ? ERROR_SUCCESS : ERROR_INVALID_HANDLE,
                   "RegCloseKey");
      slot.open = false;
      break;
    case 's':
      SetValue(op, slot);
      break;
    case 'q':
      QueryValue(op, slot);
      break;
    case 'v':
      EnumValue(op, slot);
      break;
    case 'k':
      EnumKey(op, slot);
      break;
    case 'd':
      DeleteValue(op, slot);
      break;
    case 't':
      DeleteTree(op, slot);
      break;
    default:
      break;
    }
  }

  // Everything the model holds is listed by the registry, in order, and
  // nothing more.
  void CheckAll() {
    HKEY root = nullptr;
    Require(RegOpenKeyExA(HKEY_CURRENT_USER, fuzzKeyName, 0, KEY_READ, &root) == ERROR_SUCCESS,
            "opening the fuzz key");
    CheckKey(root, *rootKey);
    RegCloseKey(root);
  }

private:
  static std::string Name(const fuzz::Operation &op, std::size_t field) {
    return op.IsNull(field) ? std::string() : std::string(op.Text(field).c_str());
  }

  // The handle's key, or the error a call needing access gets first.
  static LONG Resolve(const Slot &slot, REGSAM needed) {
    if (!slot.open) {
      return ERROR_INVALID_HANDLE;
    }
    if ((slot.access & needed) != needed) {
      return ERROR_ACCESS_DENIED;
    }
    return slot.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  }

  static LONG Walk(std::shared_ptr<ModelKey> key, const std::vector<std::string> &names,
                   std::shared_ptr<ModelKey> &found) {
    if (key->deleted) {
      return ERROR_KEY_DELETED;
    }
    for (const std::string &name : names) {
      const auto next = key->subkeys.find(FoldName(name));
      if (next == key->subkeys.end()) {
        return ERROR_FILE_NOT_FOUND;
      }
      key = next->second;
    }
    found = key;
    return ERROR_SUCCESS;
  }

  void OpenOrCreate(const fuzz::Operation &op, const Slot &parent, bool create) {
    const bool nullPath = op.IsNull(1);
    const std::string path = Name(op, 1);
    const REGSAM access = accessChoices[static_cast<std::size_t>(op.Number(2)) %
                                        (sizeof accessChoices / sizeof accessChoices[0])];
    Slot &target =
        slots[1 + static_cast<std::size_t>(op.Number(3, nextSlot++)) % (slots.size() - 1)];
    const Slot parentCopy = parent;

    LONG expected = parentCopy.open ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (expected == ERROR_SUCCESS) {
      expected = SplitPath(path, names);
    }
    std::shared_ptr<ModelKey> found;
    bool created = false;
    if (expected == ERROR_SUCCESS && !create) {
      expected = Walk(parentCopy.key, names, found);
    }
    if (expected == ERROR_SUCCESS && create) {
      expected = MakePath(parentCopy, names, found, created);
    }

    HKEY result = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(1));
    DWORD disposition = untouchedNumber;
    const LONG answer = create
                            ? RegCreateKeyExA(parentCopy.handle, nullPath ? nullptr : path.c_str(),
                                              0, nullptr, 0, access, nullptr, &result, &disposition)
                            : RegOpenKeyExA(parentCopy.handle, nullPath ? nullptr : path.c_str(), 0,
                                            access, &result);
    RequireError(answer, expected, create ? "RegCreateKeyExA" : "RegOpenKeyExA");
    if (answer != ERROR_SUCCESS) {
      Require(result == nullptr, "a failed open hands out a handle");
      Require(disposition == untouchedNumber, "disposition of a failed create");
      return;
    }
    Require(result != nullptr, "no handle");
    if (create) {
      Require(disposition == (created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY),
              "disposition");
    }
    if (target.open) {
      RegCloseKey(target.handle);
    }
    target = {result, found, access, true};
  }

  // Makes the missing keys below parent as a create does: all of them, or
  // (without the right to create subkeys) none.
  static LONG MakePath(const Slot &parent, const std::vector<std::string> &names,
                       std::shared_ptr<ModelKey> &found, bool &created) {
    if (parent.key->deleted) {
      return ERROR_KEY_DELETED;
    }
    const bool mayCreate = (parent.access & KEY_CREATE_SUB_KEY) != 0;
    std::shared_ptr<ModelKey> key = parent.key;
    std::size_t i = 0;
    for (; i < names.size(); ++i) {
      const auto next = key->subkeys.find(FoldName(names[i]));
      if (next == key->subkeys.end()) {
        break;
      }
      key = next->second;
    }
    created = false;
    if (i < names.size()) {
      if (!mayCreate) {
        return ERROR_ACCESS_DENIED;
      }
      for (; i < names.size(); ++i) {
        auto made = std::make_shared<ModelKey>();
        made->name = names[i];
        key->subkeys[FoldName(names[i])] = made;
        key = made;
      }
      created = true;
    }
    found = key;
    return ERROR_SUCCESS;
  }

  void SetValue(const fuzz::Operation &op, const Slot &slot) {
    const bool nullName = op.IsNull(1);
    const std::string name = Name(op, 1);
    const auto type = static_cast<DWORD>(op.Number(2, REG_SZ));
    const bool nullData = op.IsNull(3);
    const std::string data = nullData ? std::string() : op.Text(3);
    std::int64_t size = op.Number(4, static_cast<std::int64_t>(data.size()));
    if (!nullData && (size < 0 || static_cast<std::size_t>(size) > data.size())) {
      size = static_cast<std::int64_t>(data.size());
    }
    const auto dataSize = static_cast<DWORD>(size);

    LONG expected = nullData && dataSize != 0        ? ERROR_NOACCESS
                    : name.size() > longestValueName ? ERROR_INVALID_PARAMETER
                                                     : Resolve(slot, KEY_SET_VALUE);
    const LONG answer =
        RegSetValueExA(slot.handle, nullName ? nullptr : name.c_str(), 0, type,
                       nullData ? nullptr : reinterpret_cast<const BYTE *>(data.data()), dataSize);
    RequireError(answer, expected, "RegSetValueExA");
    if (answer == ERROR_SUCCESS) {
      const std::string stored = nullData ? std::string() : data.substr(0, dataSize);
      auto &values = slot.key->values;
      const auto existing = values.find(FoldName(name));
      if (existing == values.end()) {
        values[FoldName(name)] = {name, type, stored};
      } else {
        existing->second.type = type;
        existing->second.data = stored;
      }
    }
  }

  static const ModelValue *FindValue(const ModelKey &key, const std::string &name) {
    const auto found = key.values.find(FoldName(name));
    return found == key.values.end() ? nullptr : &found->second;
  }

  void QueryValue(const fuzz::Operation &op, const Slot &slot) {
    const bool nullName = op.IsNull(1);
    const std::string name = Name(op, 1);
    const int mode = static_cast<int>(static_cast<std::uint64_t>(op.Number(2, 2)) % 4);
    const std::size_t room = RoomField(op, 3);
    DataRequest request(mode, room);

    LONG failure = mode == 3 ? ERROR_INVALID_PARAMETER : Resolve(slot, KEY_QUERY_VALUE);
    const ModelValue *value = nullptr;
    if (failure == ERROR_SUCCESS) {
      value = FindValue(*slot.key, name);
      failure = ERROR_FILE_NOT_FOUND;
    }
    const LONG answer = RegQueryValueExA(slot.handle, nullName ? nullptr : name.c_str(), nullptr,
                                         &request.type, request.Data(), request.Size());
    RequireError(answer, request.Expected(value, failure), "RegQueryValueExA");
    request.Check(value, answer, static_cast<DWORD>(room));
  }

  void EnumValue(const fuzz::Operation &op, const Slot &slot) {
    const auto index = static_cast<DWORD>(op.Number(1));
    const std::size_t nameRoom = RoomField(op, 2);
    const int mode = static_cast<int>(static_cast<std::uint64_t>(op.Number(3, 2)) % 4);
    const std::size_t room = RoomField(op, 4);
    DataRequest request(mode, room);
    Guarded nameBuffer(nameRoom);
    DWORD nameSize = static_cast<DWORD>(nameRoom);

    LONG expected = mode == 3 ? ERROR_INVALID_PARAMETER : Resolve(slot, KEY_QUERY_VALUE);
    const ModelValue *value = nullptr;
    if (expected == ERROR_SUCCESS) {
      if (index >= slot.key->values.size()) {
        expected = ERROR_NO_MORE_ITEMS;
      } else {
        value = &std::next(slot.key->values.begin(), index)->second;
        expected = value->name.size() >= nameRoom ? ERROR_MORE_DATA
                                                  : request.Expected(value, ERROR_SUCCESS);
      }
    }
    const bool nameFits = value != nullptr && value->name.size() < nameRoom;
    const LONG answer = RegEnumValueA(slot.handle, index, nameBuffer.Text(), &nameSize, nullptr,
                                      &request.type, request.Data(), request.Size());
    RequireError(answer, expected, "RegEnumValueA");
    nameBuffer.RequireGuards();
    if (!nameFits) {
      Require(nameSize == nameRoom && nameBuffer.Untouched(), "name written by a failed call");
      request.Check(nullptr, answer, static_cast<DWORD>(room));
      return;
    }
    Require(nameSize == value->name.size(), "name size");
    const std::string inside = nameBuffer.Inside();
    Require(
        inside.compare(0, value->name.size() + 1, value->name.c_str(), value->name.size() + 1) == 0,
        "name delivered");
    request.Check(value, answer, static_cast<DWORD>(room));
  }

  void EnumKey(const fuzz::Operation &op, const Slot &slot) {
    const auto index = static_cast<DWORD>(op.Number(1));
    const std::size_t room = RoomField(op, 2);
    Guarded buffer(room);
    LONG expected = Resolve(slot, KEY_ENUMERATE_SUB_KEYS);
    std::string name;
    if (expected == ERROR_SUCCESS) {
      if (index >= slot.key->subkeys.size()) {
        expected = ERROR_NO_MORE_ITEMS;
      } else {
        name = std::next(slot.key->subkeys.begin(), index)->second->name;
        expected = name.size() >= room ? ERROR_MORE_DATA : ERROR_SUCCESS;
      }
    }
    const LONG answer =
        RegEnumKeyA(slot.handle, index, buffer.Text(), static_cast<DWORD>(buffer.size));
    RequireError(answer, expected, "RegEnumKeyA");
    buffer.RequireGuards();
    if (answer != ERROR_SUCCESS) {
      Require(buffer.Untouched(), "name written by a failed call");
      return;
    }
    Require(buffer.Inside().compare(0, name.size() + 1, name.c_str(), name.size() + 1) == 0,
            "key name delivered");
  }

  void DeleteValue(const fuzz::Operation &op, const Slot &slot) {
    const bool nullName = op.IsNull(1);
    const std::string name = Name(op, 1);
    LONG expected = Resolve(slot, KEY_SET_VALUE);
    if (expected == ERROR_SUCCESS) {
      expected = slot.key->values.erase(FoldName(name)) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    RequireError(RegDeleteValueA(slot.handle, nullName ? nullptr : name.c_str()), expected,
                 "RegDeleteValueA");
  }

  void DeleteTree(const fuzz::Operation &op, const Slot &slot) {
    const bool nullPath = op.IsNull(1);
    const std::string path = Name(op, 1);
    LONG expected = Resolve(slot, treeAccess);
    if (expected == ERROR_KEY_DELETED) {
      expected = ERROR_SUCCESS; // the path is looked at first
    }
    std::vector<std::string> names;
    if (expected == ERROR_SUCCESS) {
      expected = SplitPath(path, names);
    }
    std::shared_ptr<ModelKey> found;
    if (expected == ERROR_SUCCESS) {
      expected = Walk(slot.key, names, found);
    }
    const LONG answer = RegDeleteTreeA(slot.handle, nullPath ? nullptr : path.c_str());
    RequireError(answer, expected, "RegDeleteTreeA");
    if (answer != ERROR_SUCCESS) {
      return;
    }
    if (names.empty()) {
      // The key stays, emptied.
      found->values.clear();
      for (auto &subkey : found->subkeys) {
        MarkDeleted(*subkey.second);
      }
      found->subkeys.clear();
      return;
    }
    std::shared_ptr<ModelKey> parent;
    names.pop_back();
    Walk(slot.key, names, parent);
    MarkDeleted(*found);
    parent->subkeys.erase(FoldName(found->name));
  }

  void CheckKey(HKEY handle, const ModelKey &key) {
    DWORD index = 0;
    for (const auto &entry : key.values) {
      const ModelValue &value = entry.second;
      std::vector<char> name(value.name.size() + 1);
      DWORD nameSize = static_cast<DWORD>(name.size());
      DWORD type = 0;
      std::vector<BYTE> data(value.data.size() + 1);
      DWORD dataSize = static_cast<DWORD>(data.size());
      RequireError(RegEnumValueA(handle, index++, name.data(), &nameSize, nullptr, &type,
                                 data.data(), &dataSize),
                   ERROR_SUCCESS, "listing a value");
      Require(std::string(name.data(), nameSize) == value.name, "value listed", value.name);
      Require(type == value.type && dataSize == value.data.size() &&
                  std::memcmp(data.data(), value.data.data(), dataSize) == 0,
              "value listed with other data");
    }
    char name[longestKeyName + 1];
    DWORD nameSize = sizeof name;
    RequireError(RegEnumValueA(handle, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
                 ERROR_NO_MORE_ITEMS, "end of the values");
    index = 0;
    for (const auto &entry : key.subkeys) {
      RequireError(RegEnumKeyA(handle, index++, name, sizeof name), ERROR_SUCCESS,
                   "listing a subkey");
      Require(name == entry.second->name, "subkey listed", entry.second->name);
      HKEY subkey = nullptr;
      RequireError(RegOpenKeyExA(handle, name, 0, KEY_READ, &subkey), ERROR_SUCCESS,
                   "opening a subkey");
      CheckKey(subkey, *entry.second);
      RegCloseKey(subkey);
    }
    RequireError(RegEnumKeyA(handle, index, name, sizeof name), ERROR_NO_MORE_ITEMS,
                 "end of the subkeys");
  }

  std::vector<Slot> slots = std::vector<Slot>(8);
  std::shared_ptr<ModelKey> rootKey;
  std::int64_t nextSlot = 0;
};

std::string folder;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // A database of the fuzzer's own, on tmpfs where there is one (every write
  // is synced).
  const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/settingsstore-registry-fuzz-XXXXXX";
  Require(mkdtemp(pattern.data()) != nullptr, "making the scratch folder");
  folder = pattern;
  std::atexit(RemoveFolder);
  setenv("SETTINGSSTORE_REGISTRY", (folder + "/registry.db").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  Session session;
  for (const fuzz::Operation &operation : fuzz::ParseScript(input, false).operations) {
    session.Run(operation);
  }
  session.CheckAll();
  return 0;
}
