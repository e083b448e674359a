#include "../run_program.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(int descriptor) {
  std::string text;
  lseek(descriptor, 0, SEEK_SET);
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(descriptor, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

int TemporaryFile() {
  char name[] = "/tmp/settingsctl-output-XXXXXX";
  const int descriptor = mkstemp(name);
  unlink(name);
  return descriptor;
}

} // namespace

ProgramResult RunProgram(const std::vector<std::string> &command, bool unprivileged) {
  ProgramResult result;
  const int out = TemporaryFile();
  const int err = TemporaryFile();
  std::vector<char *> arguments;
  for (const std::string &argument : command) {
    arguments.push_back(const_cast<char *>(argument.c_str()));
  }
  arguments.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(125);
    }
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  close(out);
  close(err);
  return result;
}

void SetReadOnly(const std::string &path, bool readOnly) {
  chmod(path.c_str(), readOnly ? 0444 : 0644);
}

void OpenFolderToEveryone(const std::string &folder) {
  chmod(folder.c_str(), 0755);
}
