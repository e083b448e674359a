// The profile engine on arbitrary files. The input's first byte chooses how
// the file is read (bit 0: UTF-16, the FF FE mark put in front unless the
// bytes begin with it; bit 1: continuation and returned quotes; bit 2:
// keep-layout); a line feed may follow it. Then come operations (see
// fuzz_script.h), one a line, up to an empty line; every byte after that is
// the file.
//
//   g section|entry|default|size   ProfileGetString (size "~": no buffer)
//   n section|entry|default        ProfileGetNumber and ProfileGetHexNumber
//   s section|entry|value          ProfileSetString ("~": a null argument)
//   k index|size                   ProfileGetSectionName
//   e section|index|size           ProfileFindSection, ProfileGetEntryName
//   w                              ProfileFlush
//   r                              release and read again
//   o how                          evict it by five other files, read again
//   m / l                          read again with the switches / keep-layout
//                                  flipped
//
// A name field "#i" stands for the name of the i-th section (or, for an
// entry, of the i-th entry of the section named before it), so that the
// file's own names are within reach of mutations.
//
// Checked for every input: no crash and no sanitizer report; the records
// keep their shape (counts, last pointers, trimmed names); every result,
// name list and buffer is what the rules say, and no byte outside the
// buffer given is touched; updates change exactly what the update rules
// say; a write-back writes exactly the records (without keep-layout), a
// reload gives the records written, and writing again gives the same bytes;
// under keep-layout every line no update touched survives byte for byte and
// in order; no temporary file is left behind and nothing stays cached.
#include "fuzz_script.h"
#include "layout_lines.h"
#include "profile/profile_internal.h"
#include "record_values.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// --- Failures ---

// Removes the scratch folder; a failure does it too, since it never
// returns to the exit handlers.
void RemoveFolder();

[[noreturn]] void Fail(const char *what, const std::string &detail = std::string()) {
  std::fprintf(stderr, "engine fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  RemoveFolder();
  std::abort();
}

void Require(bool holds, const char *what, const std::string &detail = std::string()) {
  if (!holds) {
    Fail(what, detail);
  }
}

// --- The records as plain values: what the engine holds, and the model ---

using Entry = profile_model::EntryRecord;
using Section = profile_model::SectionRecord;
using profile_model::Describe;
using profile_model::Records;
using profile_model::Visible;

// --- Text rules, written out from the format's description ---

using profile_model::FoldAscii;
using profile_model::IsWhite;
using profile_model::PreparedValue;
using profile_model::SameName;
using profile_model::Trimmed;

template <typename Item> int FindByName(const std::vector<Item> &items, const std::string &name) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (SameName(items[i].name, name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// strtoul over 32 bits, as the engine's numbers are read on Windows.
std::uint32_t ReferenceNumber(const std::string &text, int base) {
  std::size_t i = 0;
  while (i < text.size() && IsWhite(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] | 0x20) == 'x') {
    i += 2;
  }
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = 99;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') {
      digit = (c | 0x20) - 'a' + 10;
    }
    if (digit >= base) {
      break;
    }
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) {
      return 0xFFFFFFFFu;
    }
  }
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? 0u - result : result;
}

// The bytes the writer makes of records: CR LF line ends, one empty line
// after each section, and a space behind an unquoted value ending in a
// backslash when continuation is on, so that it does not swallow the next
// line when read again.
std::string Render(const Records &records, bool continuation) {
  std::string out;
  for (const Section &section : records) {
    out += "[" + section.name + "]\r\n";
    for (const Entry &entry : section.entries) {
      const char *quote = entry.quoted ? "\"" : "";
      out += entry.name + "=" + quote + entry.value + quote;
      if (continuation && !entry.quoted && !entry.value.empty() && entry.value.back() == '\\') {
        out += " ";
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

// The engine takes C texts: an argument ends at its first NUL.
std::string CText(const std::string &text) {
  return text.c_str();
}

// --- Reading the engine's records, checking their shape on the way ---

std::string Checked(const char *text, std::uint32_t length, const char *what) {
  Require(text != nullptr, what, "null text");
  Require(std::strlen(text) == length, what, "length field differs from the text");
  return std::string(text, length);
}

Records Snapshot(const ProfileFile *file) {
  Records records;
  std::uint32_t sections = 0;
  const ProfileSection *lastSection = nullptr;
  for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
    Section section{Checked(s->name, s->nameLength, "section name"), {}};
    Require(!section.name.empty(), "empty section name");
    std::uint32_t entries = 0;
    const ProfileEntry *lastEntry = nullptr;
    for (const ProfileEntry *e = s->firstEntry; e != nullptr; e = e->next) {
      Entry entry{Checked(e->name, e->nameLength, "entry name"), "", e->quoted};
      Require(e->value != nullptr, "null value");
      entry.value = e->value;
      Require(!entry.name.empty() && Trimmed(entry.name) == entry.name, "entry name not trimmed",
              entry.name);
      Require(entry.name.find('=') == std::string::npos && entry.name[0] != '[',
              "entry name that cannot be written", entry.name);
      Require(entry.quoted == 0 || entry.quoted == 1, "quoted flag");
      if (entry.quoted == 0) {
        Require(Trimmed(entry.value) == entry.value, "unquoted value not trimmed", entry.value);
        Require(PreparedValue("", entry.value).quoted == 0, "unquoted value in quotes",
                entry.value);
      }
      section.entries.push_back(std::move(entry));
      lastEntry = e;
      ++entries;
    }
    Require(entries == s->entryCount, "entry count");
    Require(lastEntry == s->lastEntry, "last entry");
    records.push_back(std::move(section));
    lastSection = s;
    ++sections;
  }
  Require(sections == file->sectionCount, "section count");
  Require(lastSection == file->lastSection, "last section");
  return records;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Require(out.good(), "writing the input file");
}

// The scratch folder: on tmpfs where there is one, since every write-back
// syncs the file and its folder.
std::string folder;

void RemoveFolder() {
  if (!folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
}

std::vector<std::string> FolderEntries() {
  std::vector<std::string> names;
  DIR *directory = opendir(folder.c_str());
  Require(directory != nullptr, "listing the scratch folder");
  while (const dirent *entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  closedir(directory);
  return names;
}

// --- One input's session with the engine ---

class Session {
public:
  Session(bool switches, bool keepLayout)
      : path(folder + "/p.ini"), switches(switches), keepLayout(keepLayout) {}

  // Reads the file anew under the session's choices; the model becomes what
  // was read.
  void Load() {
    Register();
    const std::string bytes = ReadFile(path);
    model = Snapshot(Open());
    Rebase(bytes);
  }

  void Run(const fuzz::Operation &operation) {
    switch (operation.letter) {
    case 'g':
      GetString(operation);
      break;
    case 'n':
      GetNumbers(operation);
      break;
    case 's':
      SetString(operation);
      break;
    case 'k':
      SectionName(operation);
      break;
    case 'e':
      EntryName(operation);
      break;
    case 'w':
      Flush();
      break;
    case 'r':
      WriteBackAndReload(false);
      break;
    case 'o':
      Evict(operation.Number(0) % 2 == 0);
      break;
    case 'm':
      ReloadWith(!switches, keepLayout);
      break;
    case 'l':
      ReloadWith(switches, !keepLayout);
      break;
    default:
      break;
    }
    Require(Snapshot(Open()) == model, "records differ from the model", Describe(model));
  }

  // Every input ends with a forced write-back and the round trip.
  void Finish() {
    WriteBackAndReload(true);
    ProfileRelease(path.c_str());
    Require(profileCache.count == 0, "records left cached");
    const std::vector<std::string> left = FolderEntries();
    Require(left.size() == 1 && left[0] == "p.ini", "files left in the folder",
            left.empty() ? "" : left.back());
  }

private:
  void Register() {
    ProfileRegister(path.c_str());
    ProfileSetSwitches(path.c_str(), switches ? 1 : 0);
    ProfileSetKeepLayout(path.c_str(), keepLayout ? 1 : 0);
  }

  ProfileFile *Open() {
    ProfileFile *file = nullptr;
    Require(ProfileOpen(path.c_str(), &file) == 1 && file != nullptr, "ProfileOpen failed");
    Require(file->continuation == (switches ? 1 : 0) && file->returnQuotes == (switches ? 1 : 0),
            "switches lost");
    Require(file->keepLayout == (keepLayout ? 1 : 0), "keep-layout flag lost");
    return file;
  }

  // A name field: "#i" names the i-th section, or the i-th entry of the
  // section given; "~" is null (empty here, with null set).
  std::string NameField(const fuzz::Operation &op, std::size_t field, const Section *within,
                        bool *null) const {
    *null = op.IsNull(field);
    if (field < op.fields.size() && op.fields[field].size() >= 2 && op.fields[field][0] == '#') {
      const std::int64_t parsed = fuzz::Operation{0, {op.fields[field].substr(1)}}.Number(0, -1);
      if (parsed >= 0) {
        const auto i = static_cast<std::size_t>(parsed);
        if (within == nullptr && !model.empty()) {
          return model[i % model.size()].name;
        }
        if (within != nullptr && !within->entries.empty()) {
          return within->entries[i % within->entries.size()].name;
        }
      }
    }
    return *null ? std::string() : CText(op.Text(field));
  }

  const Section *SectionOf(const std::string &name) const {
    const int found = FindByName(model, name);
    return found < 0 ? nullptr : &model[static_cast<std::size_t>(found)];
  }

  // A buffer of size bytes between guard bytes; every byte starts as fill.
  struct Guarded {
    static constexpr std::size_t guard = 32;
    static constexpr char fill = '\xA5';
    std::vector<char> bytes;
    std::size_t size;
    explicit Guarded(std::size_t size) : bytes(size + 2 * guard, fill), size(size) {}
    char *Data() { return bytes.data() + guard; }
    void RequireGuards() const {
      for (std::size_t i = 0; i < guard; ++i) {
        Require(bytes[i] == fill && bytes[guard + size + i] == fill, "write outside the buffer");
      }
    }
    std::string Inside() const { return std::string(bytes.data() + guard, size); }
  };

  static std::size_t SizeField(const fuzz::Operation &op, std::size_t field) {
    const std::int64_t size = op.Number(field, 64);
    return static_cast<std::size_t>(size < 0 ? 0 : size > (1 << 21) ? (1 << 21) : size);
  }

  template <typename Item>
  static std::string ExpectedNameList(const std::vector<Item> &items, std::size_t size,
                                      std::uint32_t *result) {
    std::string buffer(size, '\0');
    std::size_t room = size - 1;
    std::size_t at = 0;
    for (const Item &item : items) {
      const std::size_t length = item.name.size();
      if (length >= room) {
        buffer.replace(at, room, item.name.substr(0, room));
        break;
      }
      buffer.replace(at, length, item.name);
      at += length + 1;
      room -= length + 1;
    }
    *result = static_cast<std::uint32_t>(size - 1 - room);
    return buffer;
  }

  void GetString(const fuzz::Operation &op) {
    bool sectionNull = false;
    bool entryNull = false;
    const std::string section = NameField(op, 0, nullptr, &sectionNull);
    const Section *found = SectionOf(section);
    const std::string entry = NameField(op, 1, found, &entryNull);
    const bool defaultNull = op.IsNull(2);
    const std::string defaultText = defaultNull ? std::string() : CText(op.Text(2));
    const bool noBuffer = op.IsNull(3);
    const std::size_t size = noBuffer ? 0 : SizeField(op, 3);
    Guarded buffer(size);
    const std::uint32_t result = ProfileGetString(
        sectionNull ? nullptr : section.c_str(), entryNull ? nullptr : entry.c_str(),
        defaultNull ? nullptr : defaultText.c_str(), noBuffer ? nullptr : buffer.Data(),
        noBuffer ? static_cast<std::uint32_t>(op.Number(4, 0)) : static_cast<std::uint32_t>(size),
        path.c_str());
    buffer.RequireGuards();

    // What the rules answer: a name list, a value or the default.
    const bool listsSections = section.empty();
    const bool listsEntries = !listsSections && found != nullptr && entry.empty();
    if (listsSections || listsEntries) {
      if (noBuffer) {
        Require(result == 0, "a name list without a buffer answers 0");
        return;
      }
      if (size == 0) {
        Require(result == 0, "a name list of size 0");
        return;
      }
      std::uint32_t expected = 0;
      const std::string bytes = listsSections ? ExpectedNameList(model, size, &expected)
                                              : ExpectedNameList(found->entries, size, &expected);
      Require(result == expected, "name list length");
      Require(buffer.Inside() == bytes, "name list bytes");
      return;
    }
    std::string text = defaultText;
    if (found != nullptr) {
      const int at = FindByName(found->entries, entry);
      if (at >= 0) {
        const Entry &value = found->entries[static_cast<std::size_t>(at)];
        text = switches && value.quoted ? "\"" + value.value + "\"" : value.value;
      }
    }
    if (noBuffer) {
      return; // no buffer with a size: only that it does not crash
    }
    if (size == 0) {
      Require(result == text.size(), "length of a value or default");
      Require(buffer.Inside().empty(), "size 0");
      return;
    }
    const std::size_t stored = std::min(text.size(), size - 1);
    Require(result == stored, "bytes stored");
    Require(buffer.Inside().substr(0, stored + 1) == text.substr(0, stored) + '\0', "text stored");
  }

  void GetNumbers(const fuzz::Operation &op) {
    bool sectionNull = false;
    bool entryNull = false;
    const std::string section = NameField(op, 0, nullptr, &sectionNull);
    const Section *found = SectionOf(section);
    const std::string entry = NameField(op, 1, found, &entryNull);
    const auto fallback = static_cast<std::uint32_t>(op.Number(2, 7));
    const char *s = sectionNull ? nullptr : section.c_str();
    const char *e = entryNull ? nullptr : entry.c_str();
    std::optional<std::string> value;
    if (!section.empty() && !entry.empty() && found != nullptr) {
      const int at = FindByName(found->entries, entry);
      if (at >= 0) {
        value = found->entries[static_cast<std::size_t>(at)].value;
      }
    }
    Require(ProfileGetNumber(s, e, fallback, path.c_str()) ==
                (value ? ReferenceNumber(*value, 10) : fallback),
            "decimal number");
    Require(ProfileGetHexNumber(s, e, fallback, path.c_str()) ==
                (value ? ReferenceNumber(*value, 16) : fallback),
            "hexadecimal number");
  }

  static bool HasUtf16Form(const std::string &text) {
    return text.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
  }

  static bool HasLineBreak(const std::string &text) {
    return text.find_first_of("\r\n") != std::string::npos;
  }

  // The update rules, applied to the model; the result the engine must give.
  std::int32_t ModelSet(const std::string &section, const std::string &entry, bool entryNull,
                        const std::string &value) {
    if (section.empty() || HasLineBreak(section) || HasLineBreak(entry) || HasLineBreak(value)) {
      return 0;
    }
    // A UTF-16 file whose reading replaced text is left alone, unless it is
    // kept in its layout; then text without a UTF-16 form is refused.
    const ProfileFile *record = Open();
    if (record->textReplaced != 0 && record->layoutKept == 0) {
      return 0;
    }
    if (record->utf16 != 0 && record->layoutKept != 0 &&
        (!HasUtf16Form(section) || !HasUtf16Form(entry) || !HasUtf16Form(value))) {
      return 0;
    }
    if (entryNull || entry.empty()) {
      dirty = true;
      const int at = FindByName(model, section);
      if (at >= 0) {
        model.erase(model.begin() + at);
      }
      return 1;
    }
    const std::string name = Trimmed(entry);
    if (name.empty() || name[0] == '[' || name.find('=') != std::string::npos) {
      return 0;
    }
    const std::string sectionName = Trimmed(section);
    if (sectionName.empty()) {
      return 0;
    }
    int at = FindByName(model, sectionName);
    if (at < 0) {
      model.push_back({sectionName, {}});
      at = static_cast<int>(model.size()) - 1;
    }
    std::vector<Entry> &entries = model[static_cast<std::size_t>(at)].entries;
    const int existing = FindByName(entries, name);
    if (existing < 0) {
      entries.push_back(PreparedValue(name, value));
    } else {
      Entry &replaced = entries[static_cast<std::size_t>(existing)];
      const int origin = replaced.origin;
      replaced = PreparedValue(replaced.name, value);
      replaced.origin = origin;
    }
    dirty = true;
    return 1;
  }

  void SetString(const fuzz::Operation &op) {
    bool sectionNull = false;
    bool entryNull = false;
    const std::string section = NameField(op, 0, nullptr, &sectionNull);
    const std::string entry = NameField(op, 1, SectionOf(section), &entryNull);
    const bool valueNull = op.IsNull(2);
    const std::string v = valueNull ? std::string() : CText(op.Text(2));
    const std::string &s = section;
    const std::string &e = entry;
    const std::int32_t result =
        ProfileSetString(sectionNull ? nullptr : s.c_str(), entryNull ? nullptr : e.c_str(),
                         valueNull ? nullptr : v.c_str(), path.c_str());
    const std::int32_t expected = ModelSet(s, e, entryNull, v);
    Require(result == expected, "ProfileSetString result", s + "|" + e + "|" + v);
    if (dirty) {
      Require(Open()->dirty == 1, "an update leaves the record dirty");
    }
  }

  // Name getters copy at most size bytes, never a zero byte, and touch
  // nothing else of the buffer.
  template <typename Item>
  static void CheckName(const std::vector<Item> &items, std::size_t index, std::uint32_t result,
                        const Guarded &buffer, bool noBuffer) {
    buffer.RequireGuards();
    const std::string name = index < items.size() ? items[index].name : std::string();
    Require(result == name.size(), "name length");
    if (noBuffer) {
      return;
    }
    const std::size_t copied = std::min(buffer.size, name.size());
    const std::string inside = buffer.Inside();
    Require(inside.substr(0, copied) == name.substr(0, copied), "name bytes");
    Require(inside.substr(copied) == std::string(buffer.size - copied, Guarded::fill),
            "a name getter wrote past the name");
  }

  void SectionName(const fuzz::Operation &op) {
    const auto index = static_cast<std::uint32_t>(op.Number(0, 0));
    const bool noBuffer = op.IsNull(1);
    Guarded buffer(noBuffer ? 0 : SizeField(op, 1));
    const auto size = static_cast<std::uint32_t>(noBuffer ? op.Number(2, 8) : buffer.size);
    const std::uint32_t result =
        ProfileGetSectionName(index, noBuffer ? nullptr : buffer.Data(), size, path.c_str());
    CheckName(model, index, result, buffer, noBuffer);
  }

  void EntryName(const fuzz::Operation &op) {
    bool sectionNull = false;
    const std::string section = NameField(op, 0, nullptr, &sectionNull);
    const Section *found = SectionOf(section);
    ProfileSection *record =
        ProfileFindSection(sectionNull ? nullptr : section.c_str(), path.c_str());
    Require((record != nullptr) == (found != nullptr && !sectionNull), "ProfileFindSection");
    const auto index = static_cast<std::uint32_t>(op.Number(1, 0));
    const bool noBuffer = op.IsNull(2);
    Guarded buffer(noBuffer ? 0 : SizeField(op, 2));
    const auto size = static_cast<std::uint32_t>(noBuffer ? op.Number(3, 8) : buffer.size);
    const std::uint32_t result =
        ProfileGetEntryName(index, noBuffer ? nullptr : buffer.Data(), size, record);
    CheckName(found == nullptr || sectionNull ? std::vector<Entry>() : found->entries, index,
              result, buffer, noBuffer);
  }

  // The file the engine has just read, as bytes and records: what a
  // keep-layout write-back is measured against until it is read again.
  void Rebase(const std::string &bytes) {
    for (std::size_t s = 0; s < model.size(); ++s) {
      model[s].origin = static_cast<int>(s);
      for (std::size_t e = 0; e < model[s].entries.size(); ++e) {
        model[s].entries[e].origin = static_cast<int>(e);
      }
    }
    readBytes = bytes;
    readRecords = model;
  }

  // Under keep-layout every line that no update touched is written again
  // byte for byte and in order, and the only other lines are the rewritten
  // and the added ones. Which lines the updates touched follows from the
  // format's rules, worked out again over the bytes that were read.
  void RequireLinesKept() const {
    const bool utf16 = readBytes.compare(0, 2, "\xFF\xFE") == 0;
    const layout_lines::FileLines lines = layout_lines::SplitFile(readBytes, utf16, switches);
    Require(layout_lines::SameShape(lines, readRecords),
            "the format's rules find other sections or entries than were read",
            Describe(readRecords));
    const std::string problem =
        layout_lines::KeptLinesProblem(lines, readRecords, model, written, utf16, switches);
    Require(problem.empty(), "keep-layout write-back",
            problem + "\nread: " + Visible(readBytes, 400) + "\nwritten: " + Visible(written, 400) +
                "\nrecords:\n" + Describe(model));
  }

  // After a write-back the file holds exactly the records, or under
  // keep-layout its own lines with those of the updates.
  void RequireWritten() {
    written = ReadFile(path);
    if (keepLayout) {
      RequireLinesKept();
    } else {
      Require(written == Render(model, switches), "bytes written", Describe(model));
    }
    dirty = false;
  }

  void Flush() {
    const bool wasDirty = Open()->dirty == 1;
    Require(ProfileFlush(path.c_str()) == 1, "ProfileFlush failed");
    Require(Open()->dirty == 0, "a flushed record stays dirty");
    if (wasDirty) {
      RequireWritten();
    }
  }

  // Releases the file (written back when changed, or always with force),
  // reads it again and compares; then writes it again, which must give the
  // very same bytes.
  void WriteBackAndReload(bool force) {
    ProfileFile *file = Open();
    if (force) {
      file->dirty = 1;
    }
    const bool wasDirty = file->dirty == 1;
    ProfileRelease(path.c_str());
    if (wasDirty) {
      RequireWritten();
    }
    Register();
    const std::string bytes = ReadFile(path);
    Require(Snapshot(Open()) == model, "records read back differ", Describe(model));
    Rebase(bytes);
    if (wasDirty) {
      Open()->dirty = 1;
      Require(ProfileFlush(path.c_str()) == 1, "second write-back failed");
      Require(ReadFile(path) == written, "writing again gives other bytes");
    }
  }

  // Five other files push this one out of the cache, by registration or by
  // being read; it is written back on the way out when changed.
  void Evict(bool byRegistration) {
    const bool wasDirty = Open()->dirty == 1;
    std::vector<std::string> others;
    for (int i = 0; i < 5; ++i) {
      others.push_back(folder + "/other" + std::to_string(i) + ".ini");
      if (byRegistration) {
        ProfileRegister(others.back().c_str());
      } else {
        ProfileFile *other = nullptr;
        Require(ProfileOpen(others.back().c_str(), &other) == 1, "opening a missing file");
      }
    }
    if (wasDirty) {
      RequireWritten();
    }
    for (const std::string &other : others) {
      ProfileRelease(other.c_str());
    }
    Register();
    const std::string bytes = ReadFile(path);
    Require(Snapshot(Open()) == model, "records read back after eviction differ");
    Rebase(bytes);
  }

  // Another reading of the file: under other switches the model is what is
  // read then.
  void ReloadWith(bool newSwitches, bool newKeepLayout) {
    WriteBackAndReload(false);
    ProfileRelease(path.c_str());
    switches = newSwitches;
    keepLayout = newKeepLayout;
    Load();
  }

  std::string path;
  bool switches;
  bool keepLayout;
  bool dirty = false;
  Records model;
  std::string written;
  std::string readBytes; // the file as last read
  Records readRecords;   // and its records then, with their origins
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/settingsstore-fuzz-XXXXXX";
  Require(mkdtemp(pattern.data()) != nullptr, "making the scratch folder");
  folder = pattern;
  std::atexit(RemoveFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const unsigned flags = static_cast<unsigned char>(input[0]);
  std::string_view rest = input.substr(1);
  if (!rest.empty() && rest[0] == '\n') {
    rest.remove_prefix(1);
  }
  const fuzz::Script script = fuzz::ParseScript(rest, true);
  std::string file(script.data);
  if ((flags & 1) != 0 && file.compare(0, 2, "\xFF\xFE") != 0) {
    file.insert(0, "\xFF\xFE");
  }
  WriteFile(folder + "/p.ini", file);

  Session session((flags & 2) != 0, (flags & 4) != 0);
  session.Load();
  for (const fuzz::Operation &operation : script.operations) {
    session.Run(operation);
  }
  session.Finish();
  std::remove((folder + "/p.ini").c_str());
  return 0;
}
