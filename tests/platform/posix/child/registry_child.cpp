// A separate process for the registry process tests: it runs one command
// against the registry that its environment names and prints the result codes
// (and a value read) on one line, stopping at the first failure.
//   set <path> <name> <number>   create HKCU\path, store a DWORD, read it back
//   get <path> <name>            open HKCU\path, read a DWORD
//   set-many <path> <prefix> <count>
//                                after a line on standard input, store count
//                                DWORDs <prefix><i> = i; exit status 0 when
//                                every one was stored
//   set-report <path> <prefix> <first> <count>
//                                store DWORDs <prefix><i> = i for i from
//                                first on, printing i on a line of its own
//                                (flushed) as soon as each store returned
//   check <path> <prefix> <count>
//                                open HKCU\path and print the result and how
//                                many of <prefix><i> = i, i below count, are
//                                there with their number
//   first-use <path> <name>      after a line on standard input, create
//                                HKCU\path and store a DWORD; exit status 0
//                                when both succeeded (else the failing code
//                                on standard error)
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

LONG CreateKey(const char *path, HKEY &key) {
  return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                         &key, nullptr);
}

LONG SetNumber(HKEY key, const char *name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                        sizeof value);
}

LONG GetNumber(HKEY key, const char *name, DWORD &value) {
  DWORD size = sizeof value;
  return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
}

int Set(const char *path, const char *name, DWORD number) {
  HKEY key = nullptr;
  DWORD value = 0;
  LONG result = CreateKey(path, key);
  std::printf("%ld", static_cast<long>(result));
  if (result == ERROR_SUCCESS) {
    result = SetNumber(key, name, number);
    std::printf(" %ld", static_cast<long>(result));
  }
  if (result == ERROR_SUCCESS) {
    result = GetNumber(key, name, value);
    std::printf(" %ld %lu", static_cast<long>(result), static_cast<unsigned long>(value));
  }
  return 0;
}

int Get(const char *path, const char *name) {
  HKEY key = nullptr;
  DWORD value = 0;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
  std::printf("%ld", static_cast<long>(result));
  if (result == ERROR_SUCCESS) {
    result = GetNumber(key, name, value);
    std::printf(" %ld %lu", static_cast<long>(result), static_cast<unsigned long>(value));
  }
  return 0;
}

int SetMany(const char *path, const std::string &prefix, int count) {
  char go[8];
  if (!std::fgets(go, sizeof go, stdin)) {
    return 2;
  }
  HKEY key = nullptr;
  int failures = CreateKey(path, key) == ERROR_SUCCESS ? 0 : count;
  for (int i = 0; i < count && key; ++i) {
    failures += SetNumber(key, (prefix + std::to_string(i)).c_str(), static_cast<DWORD>(i)) !=
                ERROR_SUCCESS;
  }
  return failures == 0 ? 0 : 1;
}

int SetReporting(const char *path, const std::string &prefix, DWORD first, DWORD count) {
  HKEY key = nullptr;
  if (CreateKey(path, key) != ERROR_SUCCESS) {
    return 1;
  }
  for (DWORD i = first; i - first < count; ++i) {
    if (SetNumber(key, (prefix + std::to_string(i)).c_str(), i) != ERROR_SUCCESS) {
      return 1;
    }
    std::printf("%lu\n", static_cast<unsigned long>(i));
    std::fflush(stdout);
  }
  return 0;
}

int Check(const char *path, const std::string &prefix, DWORD count) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
  DWORD found = 0;
  for (DWORD i = 0; result == ERROR_SUCCESS && i < count; ++i) {
    DWORD value = 0;
    found +=
        GetNumber(key, (prefix + std::to_string(i)).c_str(), value) == ERROR_SUCCESS && value == i;
  }
  std::printf("%ld %lu", static_cast<long>(result), static_cast<unsigned long>(found));
  return 0;
}

DWORD Number(const char *text) {
  return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

int FirstUse(const char *path, const char *name) {
  char go[8];
  if (!std::fgets(go, sizeof go, stdin)) {
    return 2;
  }
  HKEY key = nullptr;
  LONG result = CreateKey(path, key);
  if (result == ERROR_SUCCESS) {
    result = SetNumber(key, name, 1);
  }
  if (result != ERROR_SUCCESS) {
    std::fprintf(stderr, "first-use: %ld\n", static_cast<long>(result));
  }
  return result == ERROR_SUCCESS ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "set" && argc == 5) {
    return Set(argv[2], argv[3], static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)));
  }
  if (command == "get" && argc == 4) {
    return Get(argv[2], argv[3]);
  }
  if (command == "set-many" && argc == 5) {
    return SetMany(argv[2], argv[3], std::atoi(argv[4]));
  }
  if (command == "set-report" && argc == 6) {
    return SetReporting(argv[2], argv[3], Number(argv[4]), Number(argv[5]));
  }
  if (command == "check" && argc == 5) {
    return Check(argv[2], argv[3], Number(argv[4]));
  }
  if (command == "first-use" && argc == 4) {
    return FirstUse(argv[2], argv[3]);
  }
  std::fprintf(stderr, "usage: registry_child set|get|set-many|set-report|check|first-use ...\n");
  return 2;
}
