// The errors of injected faults in the terms of the posix layer's calls.
#pragma once

#include "platform/fault_injection.h"

#include <cerrno>
#include <sqlite3.h>

namespace posix_faults {

inline int ErrnoOf(FaultError error) {
  switch (error) {
  case FaultError::DiskFull:
    return ENOSPC;
  case FaultError::Busy:
    return EBUSY;
  case FaultError::OutOfMemory:
    return ENOMEM;
  case FaultError::DeviceError:
    break;
  }
  return EIO;
}

inline int SqliteResultOf(FaultError error) {
  switch (error) {
  case FaultError::DiskFull:
    return SQLITE_FULL;
  case FaultError::Busy:
    return SQLITE_BUSY;
  case FaultError::OutOfMemory:
    return SQLITE_NOMEM;
  case FaultError::DeviceError:
    break;
  }
  return SQLITE_IOERR;
}

} // namespace posix_faults
