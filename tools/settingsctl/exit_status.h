// settingsctl's exit statuses, as git config and reg users expect them.
#pragma once

enum ExitStatus : int {
  ExitSuccess = 0,
  ExitNotFound = 1,  // the file, section, key or value does not exist
  ExitUsage = 2,     // unknown command or option, missing argument, bad number
  ExitNotStored = 3, // a refused value, an unwritable file, a read-only key, a registry error
  ExitBadInput = 4,  // an input file that cannot be read or parsed
};
