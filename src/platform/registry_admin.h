// Registry services beyond the Win32 subset, for programs that administer
// the registry rather than keep settings in it: choosing where the Linux
// registry lives, and grouping writes so that they take effect together.
#pragma once

#include "platform/platform.h"

#include <string>

// Names the registry database file before the first registry call of the
// process (":memory:" for a private one), as SETTINGSSTORE_REGISTRY does.
// False where the platform keeps one registry of its own (Windows).
bool ChooseRegistryDatabase(const char *path);

// Where the registry is kept, for messages: the database file's path, or
// "the Windows registry".
std::string RegistryLocation();

// True where BeginRegistryBatch groups writes (Linux); on Windows each write
// takes effect when its call returns, and a batch groups nothing.
bool RegistryBatchesGroupWrites();

// Registry writes of this process from BeginRegistryBatch to
// CommitRegistryBatch take effect together or not at all. On Linux this is
// one database transaction: other processes' writers wait for it (as they
// wait for a single write), and a write in it that fails must be followed by
// AbortRegistryBatch. Answers ERROR_SUCCESS or the error; on Windows both
// answer ERROR_SUCCESS and do nothing.
LONG BeginRegistryBatch();
LONG CommitRegistryBatch();
// Undoes every write since BeginRegistryBatch (Linux); does nothing when no
// batch is open, and on Windows.
void AbortRegistryBatch();
