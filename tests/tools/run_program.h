// Running a program as a person at a shell would: its own process, the
// arguments as given, nothing on its standard input, its output captured.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
  int status = -1; // the exit status; -1 when it could not be run or did not exit
  std::string out; // standard output, line ends as LF
  std::string err; // standard error, line ends as LF
};

// command[0] is found as the platform finds programs. With unprivileged, a
// program run by root runs as nobody, so that file permissions hold for it.
ProgramResult RunProgram(const std::vector<std::string> &command, bool unprivileged = false);

// The file at path made read-only for the programs RunProgram runs, or
// writable again.
void SetReadOnly(const std::string &path, bool readOnly);

// The folder for files that an unprivileged program must read: readable and
// searchable by everyone.
void OpenFolderToEveryone(const std::string &folder);
