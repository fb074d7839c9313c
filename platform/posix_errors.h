// Translation of host (errno) failures into the Win32 error codes that the
// system services report through GetLastError.
#pragma once

#include "platform/win32_system.h"

namespace txplatform::detail {

// The Win32 code for an errno value. Codes that depend on the operation (a
// missing path versus a missing file, a read versus a write fault) are refined
// by the callers.
DWORD Win32ErrorFromErrno(int error);

// SetLastError(Win32ErrorFromErrno(error)).
void SetLastErrorFromErrno(int error);

} // namespace txplatform::detail
