// Injected failures, for tests that walk every step of a write-back or of a
// registry change and check that a failure at any one of them loses nothing.
//
// Only test builds have the switch (SETTINGSSTORE_FAULTS, set on the test
// copy of the core library); everywhere else InjectedFault is an inline
// answer of "no fault" that the compiler removes, and the shipped library
// holds none of it.
//
// A test arms one kind of call: counting from the arming, calls first to
// first + count - 1 of that kind fail with the chosen error, without doing
// anything, as if the system had refused them. Each place that can fail
// this way asks InjectedFault before it calls the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

enum class FaultKind {
  Open,       // opening a file to read it; creating a write-back's temporary file
  Read,       // one read of a file's bytes
  Write,      // one write of a block to a write-back's temporary file
  Flush,      // putting the temporary file's contents on the disk
  Close,      // closing the temporary file once written
  Replace,    // putting the temporary file in the target's place
  FolderSync, // putting the folder's new name on the disk (Linux)
  Allocation, // an allocation whose failure the engine handles
  SqliteStep, // one step or script of the SQLite registry (Linux)
};
constexpr std::size_t FaultKindCount = 9;

// What the system answers, in the platform's own terms where the call is
// made: errno, a Win32 error, or an SQLite result code.
enum class FaultError {
  DiskFull,    // ENOSPC, ERROR_DISK_FULL, SQLITE_FULL
  DeviceError, // EIO, ERROR_WRITE_FAULT / ERROR_READ_FAULT, SQLITE_IOERR
  Busy,        // EBUSY, ERROR_SHARING_VIOLATION, SQLITE_BUSY: another process could end it
  OutOfMemory, // ENOMEM, ERROR_NOT_ENOUGH_MEMORY, SQLITE_NOMEM
};

#if defined(SETTINGSSTORE_FAULTS)

// Counts this call of its kind; the error it must fail with, if armed for it.
std::optional<FaultError> InjectedFault(FaultKind kind);

// Calls first (1 for the next one) to first + count - 1 of kind fail with
// error. One kind is armed at a time: arming disarms the others, and every
// count starts anew.
void ArmFault(FaultKind kind, std::uint64_t first, FaultError error, std::uint64_t count = 1);
// Nothing fails any more, and every count starts anew.
void DisarmFaults();
// Calls of kind since the last arming or disarming; counted whether or not
// anything is armed.
std::uint64_t FaultCallsSeen(FaultKind kind);
// Faults that struck since the last arming or disarming, of every kind.
std::uint64_t FaultsStruck();

#else

constexpr std::optional<FaultError> InjectedFault(FaultKind) {
  return std::nullopt;
}

#endif

// malloc and realloc for the allocations whose failure their caller handles.
inline void *FallibleMalloc(std::size_t size) {
  return InjectedFault(FaultKind::Allocation) ? nullptr : std::malloc(size);
}

inline void *FallibleRealloc(void *block, std::size_t size) {
  return InjectedFault(FaultKind::Allocation) ? nullptr : std::realloc(block, size);
}

inline void *FallibleCalloc(std::size_t count, std::size_t size) {
  return InjectedFault(FaultKind::Allocation) ? nullptr : std::calloc(count, size);
}
