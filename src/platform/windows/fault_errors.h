// The errors of injected faults as Win32 errors.
#pragma once

#include "platform/fault_injection.h"
#include "platform/platform.h"

namespace windows_faults {

inline DWORD Win32ErrorOf(FaultError error) {
  switch (error) {
  case FaultError::DiskFull:
    return ERROR_DISK_FULL;
  case FaultError::Busy:
    return ERROR_SHARING_VIOLATION;
  case FaultError::OutOfMemory:
    return ERROR_NOT_ENOUGH_MEMORY;
  case FaultError::DeviceError:
    break;
  }
  return ERROR_IO_DEVICE;
}

} // namespace windows_faults
