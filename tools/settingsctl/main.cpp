// settingsctl: reads and changes settings in profile files and the registry
// through the settingsstore library, and moves registry keys to and from
// .reg files.
#include "command_line.h"
#include "commands.h"
#include "exit_status.h"
#include "output.h"
#include "platform/registry_admin.h"

int main(int argc, char **argv) {
  Invocation invocation;
  if (const std::optional<int> status = ParseCommandLine(argc, argv, invocation)) {
    return *status;
  }
  if (invocation.options.registry &&
      !ChooseRegistryDatabase(invocation.options.registry->c_str())) {
    Complain("--registry", "this platform keeps one registry; there is no database to choose");
    return ExitUsage;
  }
  switch (invocation.command) {
  case Command::RegGet:
  case Command::RegSet:
  case Command::RegNames:
  case Command::RegSections:
  case Command::RegDelete:
    return RunRegistryCommand(invocation);
  case Command::RegExport:
    return RunRegExport(invocation);
  case Command::RegImport:
    return RunRegImport(invocation);
  default:
    return RunProfileCommand(invocation);
  }
}
