// Keeps a setting in a profile file and one in the registry through the
// installed package, and reads both back. Usage: consumer FILE
#include "settings/profile_key.h"
#include "settings/registry_key.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: consumer FILE\n");
    return 2;
  }
  ProfileKey profile(argv[1]);
  if (profile.SetString("consumed", "state", "package") == 0 || profile.Flush() == 0) {
    std::fprintf(stderr, "consumer: %s could not be written\n", argv[1]);
    return 1;
  }
  ByteString state;
  profile.GetString(state, "", "state", "package");

  const char *subKey = "Software\\settingsstore-consumer";
  RegistryKey registry(MakeRegistryPath(HKEY_CURRENT_USER, subKey), 0, 0);
  registry.SetDword(42, "answer", "package");
  const std::uint32_t answer = registry.GetNumber("answer", "", 0);
  RegDeleteTreeA(HKEY_CURRENT_USER, subKey);

  std::printf("profile: %s, registry: %u\n", state.c_str(), answer);
  return state == "consumed" && answer == 42 ? 0 : 1;
}
