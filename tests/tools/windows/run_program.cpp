#include "../run_program.h"

#include "platform/platform.h"

#include <cstdio>

namespace {

// One argument as the C runtime splits a command line: in quotes, with the
// backslashes before a quote (or the closing quote) doubled.
std::string Quoted(const std::string &argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE InheritableFile(const char *name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                     disposition, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string ReadAndRemove(const std::string &name) {
  std::string text;
  if (std::FILE *file = std::fopen(name.c_str(), "rb")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      text.append(buffer, got);
    }
    std::fclose(file);
  }
  DeleteFileA(name.c_str());
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      lines += text[i];
    }
  }
  return lines;
}

std::string TemporaryName(const char *kind) {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, kind, 0, name);
  return name;
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string> &command, bool) {
  ProgramResult result;
  std::string line;
  for (const std::string &argument : command) {
    line += (line.empty() ? "" : " ") + Quoted(argument);
  }
  const std::string outName = TemporaryName("out");
  const std::string errName = TemporaryName("err");
  HANDLE nothing = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = InheritableFile(outName.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(errName.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) {
      result.status = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(nothing);
  CloseHandle(out);
  CloseHandle(err);
  result.out = ReadAndRemove(outName);
  result.err = ReadAndRemove(errName);
  return result;
}

void SetReadOnly(const std::string &path, bool readOnly) {
  SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

void OpenFolderToEveryone(const std::string &) {}
