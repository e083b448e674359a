// settingsctl's commands: each answers the program's exit status.
#pragma once

#include "command_line.h"

int RunProfileCommand(const Invocation &invocation);
int RunRegistryCommand(const Invocation &invocation);
int RunRegExport(const Invocation &invocation);
int RunRegImport(const Invocation &invocation);
