#include "settings/profile_key.h"

#include "profile/profile.h"

#include <cstring>
#include <utility>

ProfileKey::ProfileKey(ByteString path) : path(std::move(path)) {}

ProfileKey::~ProfileKey() {
  if (!path.empty()) {
    ProfileRelease(path.c_str());
  }
}

void ProfileKey::KeepCurrent(const ByteString &newValueName, const ByteString &newSection) {
  if (!newSection.empty()) {
    section = newSection;
  }
  if (!newValueName.empty()) {
    valueName = newValueName;
  }
}

void ProfileKey::KeepCurrent(ByteString &&newValueName, ByteString &&newSection) {
  if (!newSection.empty()) {
    section = std::move(newSection);
  }
  if (!newValueName.empty()) {
    valueName = std::move(newValueName);
  }
}

std::uint32_t ProfileKey::GetNumber(ByteString newValueName, ByteString newSection,
                                    std::uint32_t defaultValue) {
  KeepCurrent(newValueName, newSection);
  return ProfileGetNumber(section.c_str(), valueName.c_str(), defaultValue, path.c_str());
}

std::uint32_t ProfileKey::GetHexNumber(ByteString newValueName, ByteString newSection,
                                       std::uint32_t defaultValue) {
  KeepCurrent(newValueName, newSection);
  return ProfileGetHexNumber(section.c_str(), valueName.c_str(), defaultValue, path.c_str());
}

// Most values fit a buffer on the stack: one call answers them. Only a value
// that may have been cut short there, and the name lists that an empty name
// asks for (which a length query answers as empty), take the way that sizes
// the text exactly: a length query, then a fetch into a buffer of that length
// plus its terminator.
std::int32_t ProfileKey::GetString(ByteString &out, ByteString defaultValue,
                                   ByteString newValueName, ByteString newSection) {
  KeepCurrent(std::move(newValueName), std::move(newSection));
  if (!section.empty() && !valueName.empty()) {
    char text[512];
    const std::uint32_t delivered = ProfileGetString(
        section.c_str(), valueName.c_str(), defaultValue.c_str(), text, sizeof text, path.c_str());
    if (delivered < sizeof text - 1) {
      out.assign(text, delivered); // a value holds no zero byte: delivered is its length
      return static_cast<std::int32_t>(delivered);
    }
  }
  char scratch[1] = {0};
  std::uint32_t length = ProfileGetString(section.c_str(), valueName.c_str(), defaultValue.c_str(),
                                          scratch, 0, path.c_str());
  out.assign(static_cast<std::size_t>(length) + 1, '\0');
  std::uint32_t delivered =
      ProfileGetString(section.c_str(), valueName.c_str(), defaultValue.c_str(), out.data(),
                       length + 1, path.c_str());
  out.resize(std::strlen(out.c_str()));
  return static_cast<std::int32_t>(delivered);
}

std::int32_t ProfileKey::SetNumber(std::uint32_t value, ByteString newValueName,
                                   ByteString newSection) {
  KeepCurrent(newValueName, newSection);
  ByteString text;
  text.Format("%d", static_cast<int>(value));
  return ProfileSetString(section.c_str(), valueName.c_str(), text.c_str(), path.c_str());
}

std::int32_t ProfileKey::SetString(ByteString value, ByteString newValueName,
                                   ByteString newSection) {
  KeepCurrent(newValueName, newSection);
  return ProfileSetString(section.c_str(), valueName.c_str(), value.c_str(), path.c_str());
}

std::uint32_t ProfileKey::GetValueNames(char *buffer, std::uint32_t size, ByteString newSection) {
  KeepCurrent(ByteString(), newSection);
  return ProfileGetString(section.c_str(), nullptr, "", buffer, size, path.c_str());
}

namespace {

// Names addressed by index: NameAt(i, buffer, size) answers the length of
// name i (0 past the end) and copies at most size bytes, unterminated.
template <typename NameAt> ByteString *CollectNames(std::uint32_t &count, NameAt nameAt) {
  std::uint32_t found = 0;
  while (nameAt(found, nullptr, 0) != 0) {
    ++found;
  }
  count = found;
  if (found == 0) {
    return nullptr;
  }
  auto *names = new ByteString[found];
  for (std::uint32_t index = 0; index < found; ++index) {
    std::uint32_t length = nameAt(index, nullptr, 0);
    names[index].assign(static_cast<std::size_t>(length) + 1, '\0');
    nameAt(index, names[index].data(), length + 1);
    names[index].resize(std::strlen(names[index].c_str()));
  }
  return names;
}

} // namespace

ByteString *ProfileKey::EnumerateValueNames(std::uint32_t &count, ByteString newSection) {
  KeepCurrent(ByteString(), newSection);
  count = 0;
  ProfileSection *found = ProfileFindSection(section.c_str(), path.c_str());
  if (found == nullptr) {
    return nullptr;
  }
  return CollectNames(count, [found](std::uint32_t index, char *buffer, std::uint32_t size) {
    return ProfileGetEntryName(index, buffer, size, found);
  });
}

ByteString *ProfileKey::EnumerateSections(std::uint32_t &count) {
  count = 0;
  const char *file = path.c_str();
  return CollectNames(count, [file](std::uint32_t index, char *buffer, std::uint32_t size) {
    return ProfileGetSectionName(index, buffer, size, file);
  });
}

std::uint32_t ProfileKey::GetMode() {
  return mode;
}

// The switches belong to the cached file and govern how it is parsed, so the
// file is dropped (written back when changed) and read again at next use.
void ProfileKey::SetMode(std::uint32_t newMode) {
  mode = newMode;
  Reregister();
}

void ProfileKey::SetKeepLayout(std::uint32_t keep) {
  keepLayout = keep;
  Reregister();
}

std::uint32_t ProfileKey::GetKeepLayout() const {
  return keepLayout;
}

std::int32_t ProfileKey::Flush() {
  return ProfileFlush(path.c_str());
}

void ProfileKey::Reregister() {
  ProfileRelease(path.c_str());
  ProfileRegister(path.c_str());
  ProfileSetSwitches(path.c_str(), mode);
  ProfileSetKeepLayout(path.c_str(), keepLayout);
}
