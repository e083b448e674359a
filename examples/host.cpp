// Example host program: loads the settingsstore library as an application
// does and calls its self-registration entry points, then works on a copy of
// a settings file through a ProfileKey and shows the file as written back,
// and finally keeps a few settings in the registry through a RegistryKey.
// Usage: settingsstore-example [settings.ini [library]]
#include "platform/platform.h"
#include "settings/profile_key.h"
#include "settings/registry_key.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE *)();

int CallEntryPoint(HMODULE module, const char *name) {
  auto entry =
      reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  if (entry == nullptr) {
    std::printf("%s: not exported\n", name);
    return 1;
  }
  HRESULT result = entry();
  std::printf("%s() answered %ld\n", name, static_cast<long>(result));
  return result == S_OK ? 0 : 1;
}

int LoadLibraryAndRegister(const std::string &library) {
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) {
    std::printf("could not load %s\n", library.c_str());
    return 1;
  }
  std::printf("loaded %s\n", library.c_str());
  int failures = CallEntryPoint(module, "DllRegisterServer");
  failures += CallEntryPoint(module, "DllUnregisterServer");
  std::printf("unloaded: %s\n", FreeLibrary(module) ? "yes" : "no");
  return failures;
}

void ListSettings(ProfileKey &key) {
  std::uint32_t sectionCount = 0;
  std::unique_ptr<ByteString[]> sections(key.EnumerateSections(sectionCount));
  for (std::uint32_t s = 0; s < sectionCount; ++s) {
    std::uint32_t valueCount = 0;
    std::unique_ptr<ByteString[]> names(key.EnumerateValueNames(valueCount, sections[s]));
    std::printf("  [%s] %u values\n", sections[s].c_str(), valueCount);
    for (std::uint32_t v = 0; v < valueCount; ++v) {
      ByteString value;
      key.GetString(value, "", names[v], "");
      std::printf("    %s = %s\n", names[v].c_str(), value.c_str());
    }
  }
}

std::string ReadWhole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int WorkOnSettings(const std::string &example) {
  const std::string copy = "settingsstore-example.ini";
  std::error_code error;
  std::filesystem::copy_file(example, copy, std::filesystem::copy_options::overwrite_existing,
                             error);
  if (error) {
    std::printf("could not copy %s: %s\n", example.c_str(), error.message().c_str());
    return 1;
  }
  std::printf("settings in %s (a copy of %s):\n", copy.c_str(), example.c_str());
  {
    ProfileKey key(copy.c_str());
    ListSettings(key);
    std::uint32_t runs = key.GetNumber("Runs", "Startup", 0);
    std::printf("Startup/Runs was %u; counting this run\n", runs);
    key.SetNumber(runs + 1, "Runs", "");
    key.SetString("C:\\Data\\returns.db", "File3", "Recent Files");
  } // the key's destruction writes the file back
  std::printf("written back:\n%s", ReadWhole(copy).c_str());
  std::filesystem::remove(copy, error);
  return 0;
}

// Writes, reads and lists values below HKEY_CURRENT_USER, then removes the
// example's key again.
int WorkOnRegistry() {
  const char *subKey = "Software\\settingsstore-example";
  std::printf("registry key %s:\n", MakeRegistryPath(HKEY_CURRENT_USER, subKey).c_str());
  int failures = 0;
  {
    RegistryKey key(MakeRegistryPath(HKEY_CURRENT_USER, subKey), 0, 0);
    failures += key.SetString("Inventory", "Title", "Window") == 10 ? 0 : 1;
    failures += key.SetDword(1024, "Width", "") == 5 ? 0 : 1;
    failures += key.SetNumber(768, "Height", "") == 4 ? 0 : 1;
    std::uint32_t count = 0;
    std::unique_ptr<ByteString[]> names(key.EnumerateValueNames(count, "Window"));
    std::printf("  [Window] %u values\n", count);
    for (std::uint32_t v = 0; v < count; ++v) {
      ByteString value;
      key.GetString(value, "?", names[v], "");
      std::printf("    %s = %s\n", names[v].c_str(), value.c_str());
    }
    std::printf("  Height read as a number: %u (stored text is read as hexadecimal)\n",
                key.GetNumber("Height", "", 0));
  }
  std::printf("removed: %s\n",
              RegDeleteTreeA(HKEY_CURRENT_USER, subKey) == ERROR_SUCCESS ? "yes" : "no");
  return failures;
}

} // namespace

int main(int argc, char **argv) {
  std::string example = argc > 1 ? argv[1] : "app.ini";
  std::string library = argc > 2 ? argv[2] : "./" SETTINGSSTORE_LIBRARY_NAME;
  int failures = LoadLibraryAndRegister(library);
  failures += WorkOnSettings(example);
  failures += WorkOnRegistry();
  return failures == 0 ? 0 : 1;
}
