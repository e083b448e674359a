// Example host program: loads the settingsstore library as an application
// does, calls its self-registration entry points and reports each step.
// Usage: settingsstore-example [library]
#include "platform/platform.h"

#include <cstdio>
#include <string>

namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE *)();

int CallEntryPoint(HMODULE module, const char *name) {
  auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  if (entry == nullptr) {
    std::printf("%s: not exported\n", name);
    return 1;
  }
  HRESULT result = entry();
  std::printf("%s() answered %ld\n", name, static_cast<long>(result));
  return result == S_OK ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  std::string library = argc > 1 ? argv[1] : "./" SETTINGSSTORE_LIBRARY_NAME;
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) {
    std::printf("could not load %s\n", library.c_str());
    return 1;
  }
  std::printf("loaded %s\n", library.c_str());
  int failures = CallEntryPoint(module, "DllRegisterServer");
  failures += CallEntryPoint(module, "DllUnregisterServer");
  std::printf("unloaded: %s\n", FreeLibrary(module) ? "yes" : "no");
  return failures == 0 ? 0 : 1;
}
