// settingsctl's command line: commands with their operands, and options that
// may stand anywhere on the line.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class Command {
  Get,
  Set,
  SetNumber,
  Sections,
  Names,
  DeleteSection,
  Dump,
  RegGet,
  RegSet,
  RegNames,
  RegSections,
  RegDelete,
  RegExport,
  RegImport,
};

struct Options {
  std::optional<std::string> defaultText; // --default
  bool number = false;                    // --number
  bool hex = false;                       // --hex
  bool json = false;                      // --json
  bool normalize = false;                 // --normalize
  bool dword = false;                     // --dword
  bool modeWord = false;                  // --continuation or --quotes: SetMode(1)
  bool readOnly = false;                  // --read-only
  std::uint32_t viewFlags = 0;            // --view 32|64: KEY_WOW64_32KEY or KEY_WOW64_64KEY
  std::optional<std::string> registry;    // --registry DB
};

struct Invocation {
  Command command = Command::Get;
  std::vector<std::string> operands; // in the order of the command's synopsis
  Options options;
};

// Fills invocation and answers nothing, or answers the exit status the
// program ends with: 0 after --help or --version (printed on stdout), 2 after
// a usage error (told on stderr).
std::optional<int> ParseCommandLine(int argc, char **argv, Invocation &invocation);
