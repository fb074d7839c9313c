// The per-thread last-error value and the errno translation.
#include <cerrno>

#include "platform/posix_errors.h"

namespace {

// Win32 keeps the last error per thread; a failure on one thread must not be
// read as the cause of another thread's failure.
thread_local DWORD tLastError = ERROR_SUCCESS;

} // namespace

DWORD GetLastError() {
    return tLastError;
}

void SetLastError(DWORD error) {
    tLastError = error;
}

namespace txplatform::detail {

DWORD Win32ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
    case ENOTEMPTY:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EINVAL:
    case EFAULT:
        return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return ERROR_DISK_FULL;
    default:
        return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorFromErrno(int error) {
    SetLastError(Win32ErrorFromErrno(error));
}

} // namespace txplatform::detail
