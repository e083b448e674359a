#include "generated_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <stdlib.h>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t Seed = 20240611;

// The scratch folder, made on first use and removed with everything in it
// at exit.
class Scratch {
public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "settingsstore-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a scratch folder in " +
                               fs::temp_directory_path().string());
    }
    folder = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  fs::path folder;
};

Scratch &TheScratch() {
  static Scratch scratch;
  return scratch;
}

// Raw mt19937 output only: its sequence is fixed by the standard, while the
// standard distributions may differ between library versions.
class Random {
public:
  explicit Random(std::uint32_t seed) : engine(seed) {}
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(engine() % bound); }
  std::uint32_t Between(std::uint32_t low, std::uint32_t high) {
    return low + Below(high - low + 1);
  }

private:
  std::mt19937 engine;
};

std::string Letters(Random &random, std::uint32_t count) {
  static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string text;
  for (std::uint32_t i = 0; i < count; ++i) {
    text += alphabet[random.Below(sizeof alphabet - 1)];
  }
  return text;
}

// Value bytes that read back as written: no blanks at either end, no quotes,
// comment marks or backslashes.
std::string Value(Random &random, const FileShape &shape) {
  static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                 "-_.,:/+()@ ";
  std::uint32_t length;
  if (shape.maxValue != 0) {
    length = random.Between(shape.minValue, shape.maxValue);
  } else {
    const std::uint32_t roll = random.Below(100);
    length = roll < 80   ? random.Between(1, 20)
             : roll < 97 ? random.Between(21, 60)
                         : random.Between(61, 150);
  }
  std::string text;
  for (std::uint32_t i = 0; i < length; ++i) {
    text += alphabet[random.Below(sizeof alphabet - 1)];
  }
  if (!text.empty()) {
    text.front() = 'v';
    text.back() = '0' + static_cast<char>(length % 10);
  }
  return text;
}

std::string Text(const FileShape &shape, GeneratedFile &file) {
  Random random(Seed ^ (shape.sections * 7919u) ^ (shape.entries * 104729u) ^ shape.maxValue);
  std::string text;
  for (std::uint32_t s = 0; s < shape.sections; ++s) {
    if (shape.comments) {
      text += "; settings of part " + std::to_string(s) + "\r\n";
    }
    file.sections.push_back("Section" + std::to_string(s) + "_" + Letters(random, random.Below(7)));
    text += "[" + file.sections.back() + "]\r\n";
    auto &names = file.entries.emplace_back();
    auto &values = file.values.emplace_back();
    for (std::uint32_t e = 0; e < shape.entries; ++e) {
      if (shape.comments && e % 10 == 9) {
        text += "; the next ones\r\n";
      }
      names.push_back("Key" + std::to_string(e) + "_" + Letters(random, random.Below(9)));
      values.push_back(Value(random, shape));
      std::string value = values.back();
      if (shape.continued && e % 10 == 5 && value.size() >= 2) {
        value.insert(1 + random.Below(static_cast<std::uint32_t>(value.size() - 1)), "\\\r\n");
      }
      text += names.back() + (random.Below(4) == 0 ? " = " : "=") + value + "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

std::string Utf16(const std::string &text) {
  std::string out = "\xFF\xFE";
  for (char c : text) {
    out += c;
    out += '\0';
  }
  return out;
}

void WriteWhole(const std::string &path, const std::string &bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size()) {
    throw std::runtime_error("cannot write " + path);
  }
}

} // namespace

std::size_t GeneratedFile::entryCount() const {
  std::size_t count = 0;
  for (const auto &names : entries) {
    count += names.size();
  }
  return count;
}

const GeneratedFile &Generated(const FileShape &shape) {
  static std::map<std::string, GeneratedFile> made;
  auto found = made.find(shape.name);
  if (found != made.end()) {
    return found->second;
  }
  GeneratedFile file;
  std::string bytes = Text(shape, file);
  if (shape.utf16) {
    bytes = Utf16(bytes);
  }
  file.path = ScratchPath(std::string(shape.name) + ".ini");
  file.bytes = bytes.size();
  WriteWhole(file.path, bytes);
  return made.emplace(shape.name, std::move(file)).first->second;
}

std::string ScratchPath(const std::string &name) {
  return (TheScratch().folder / name).string();
}

std::string MixCase(const std::string &name, std::uint32_t seed) {
  Random random(seed);
  std::string out = name;
  for (char &c : out) {
    const std::uint32_t roll = random.Below(3);
    if (roll == 0 && c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (roll == 1 && c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

FileShape OneSection(std::uint32_t entries) {
  static std::map<std::uint32_t, std::string> names;
  const std::string &name =
      names.emplace(entries, "one-section-" + std::to_string(entries)).first->second;
  return FileShape{name.c_str(), 1, entries, 0, 0, false, false};
}

FileShape ManySections(std::uint32_t sections) {
  static std::map<std::uint32_t, std::string> names;
  const std::string &name =
      names.emplace(sections, "sections-" + std::to_string(sections)).first->second;
  return FileShape{name.c_str(), sections, 4, 0, 0, false, false};
}
