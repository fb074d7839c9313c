// CreateFile, ReadFile, WriteFile, GetFileSize, DeleteFile and MoveFileEx over
// POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>
#include <string>

#include "platform/file_objects.h"
#include "platform/posix_errors.h"
#include "platform/utf_convert.h"

namespace {

using namespace txplatform::detail;

// Generic rights beyond read and write that callers sometimes ask for.
constexpr DWORD kGenericExecute = 0x20000000u;
constexpr DWORD kGenericAll = 0x10000000u;

constexpr DWORD kAllShareModes = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

DWORD ReadWriteAccess(DWORD desired) {
    DWORD access = 0;
    if (desired & (GENERIC_READ | kGenericExecute | kGenericAll)) access |= GENERIC_READ;
    if (desired & (GENERIC_WRITE | kGenericAll)) access |= GENERIC_WRITE;
    return access;
}

// A missing name is ERROR_FILE_NOT_FOUND only when its folder exists;
// otherwise the path itself is wrong.
DWORD MissingNameError(const char* path) {
    const std::string name(path);
    const size_t slash = name.find_last_of('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    const std::string folder = slash == 0 ? "/" : name.substr(0, slash);
    struct stat st;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

// Sets the last error for a failed call on `path`.
void SetPathError(int error, const char* path) {
    if (error == ENOENT) {
        SetLastError(MissingNameError(path));
    } else {
        SetLastErrorFromErrno(error);
    }
}

int OpenRetrying(const char* path, int flags) {
    int fd;
    do {
        fd = open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens or creates the file as the disposition says. Sets `created` when
// this call made the file. Returns -1 with errno set on failure.
int OpenForDisposition(const char* path, int baseFlags, DWORD disposition, bool* created) {
    *created = false;
    switch (disposition) {
    case CREATE_NEW: {
        // O_EXCL is what guarantees that an existing file (or a symbolic link
        // in its place) is never overwritten, even if it appears meanwhile.
        const int fd = OpenRetrying(path, baseFlags | O_CREAT | O_EXCL);
        *created = fd >= 0;
        return fd;
    }
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
        // Whether the file existed is reported to the caller, so find out
        // atomically: try to make it, else open what is there. A file removed
        // between the two attempts sends us round again.
        for (int attempt = 0; attempt < 8; ++attempt) {
            int fd = OpenRetrying(path, baseFlags | O_CREAT | O_EXCL);
            if (fd >= 0) {
                *created = true;
                return fd;
            }
            if (errno != EEXIST) return -1;
            fd = OpenRetrying(path, baseFlags);
            if (fd >= 0 || errno != ENOENT) return fd;
        }
        // A dangling symbolic link keeps failing both ways: let it be
        // followed and its target created.
        *created = true;
        return OpenRetrying(path, baseFlags | O_CREAT);
    default: // OPEN_EXISTING, TRUNCATE_EXISTING
        return OpenRetrying(path, baseFlags);
    }
}

HANDLE CreateFileUtf8(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD disposition,
                      DWORD flagsAndAttributes) {
    if (path == nullptr || disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (shareMode & ~kAllShareModes) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (*path == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD access = ReadWriteAccess(desiredAccess);
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    // Truncation needs a writable descriptor even when the caller only asked
    // to read; the handle still refuses writes. Opening non-blocking keeps a
    // FIFO from hanging the open; the flag is cleared right after.
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    const bool needWrite = (access & GENERIC_WRITE) || truncates;
    const bool needRead = (access & GENERIC_READ) || !needWrite;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    flags |= needRead && needWrite ? O_RDWR : needWrite ? O_WRONLY : O_RDONLY;

    bool created = false;
    UniqueFd fd(OpenForDisposition(path, flags, disposition, &created));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == EEXIST && disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
        } else {
            SetPathError(error, path);
        }
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(st.st_mode)) {
        // A folder is not a file; reading it as one would only confuse.
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const int statusFlags = fcntl(fd.get(), F_GETFL);
    if (statusFlags != -1) fcntl(fd.get(), F_SETFL, statusFlags & ~O_NONBLOCK);

    const FileIdentity id{st.st_dev, st.st_ino};
    const bool truncatesExisting = truncates && !created && S_ISREG(st.st_mode);
    const DWORD shareError = RegisterOpen(id, access, shareMode, truncatesExisting);
    if (shareError != ERROR_SUCCESS) {
        SetLastError(shareError);
        return INVALID_HANDLE_VALUE;
    }
    // From here the registration belongs to the file object.
    auto* raw = new (std::nothrow) FileObject(fd.get(), access, shareMode, id);
    if (raw == nullptr) {
        UnregisterOpen(id, access, shareMode);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    fd.release();
    std::shared_ptr<FileObject> file;
    try {
        file.reset(raw);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }

    if (truncatesExisting && ftruncate(file->fd(), 0) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
#ifdef POSIX_FADV_RANDOM
    if (flagsAndAttributes & FILE_FLAG_RANDOM_ACCESS)
        posix_fadvise(file->fd(), 0, 0, POSIX_FADV_RANDOM);
    else if (flagsAndAttributes & FILE_FLAG_SEQUENTIAL_SCAN)
        posix_fadvise(file->fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)flagsAndAttributes;
#endif

    const HANDLE handle = InsertKernelObject(std::move(file));
    if (handle == INVALID_HANDLE_VALUE) return handle;
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
        SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return handle;
}

// Converts a wide name for the host; false (with the last error set) when it
// cannot be spelt in UTF-8.
bool WideNameToUtf8(LPCWSTR name, std::string* out) {
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        if (!Utf16ToUtf8Strict(name, out)) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

std::shared_ptr<FileObject> FindFile(HANDLE handle) {
    auto file = FindKernelObjectAs<FileObject>(handle);
    if (!file) SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// Checks a name that is about to be deleted or renamed away against the
// opens of this process. Symbolic links are names of their own.
DWORD CheckNameRemovable(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return ERROR_SUCCESS;
    return CheckDeleteAllowed(FileIdentity{st.st_dev, st.st_ino});
}

bool RenameWithoutReplacing(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // Without an atomic no-replace rename a hard link gives the same
    // guarantee for files; folders and file systems without links fall back
    // to a checked rename.
    if (link(from, to) == 0) {
        if (unlink(from) == 0) return true;
        const int error = errno;
        unlink(to);
        errno = error;
        return false;
    }
    if (errno == EEXIST) return false;
    struct stat st;
    if (lstat(to, &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from, to) == 0;
}

BOOL MoveFileUtf8(const char* from, const char* to, DWORD flags) {
    if (from == nullptr || to == nullptr || (flags & ~MOVEFILE_REPLACE_EXISTING) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat source;
    if (lstat(from, &source) != 0) {
        SetPathError(errno, from);
        return FALSE;
    }
    const DWORD sourceError = CheckNameRemovable(source);
    if (sourceError != ERROR_SUCCESS) {
        SetLastError(sourceError);
        return FALSE;
    }
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    struct stat target;
    if (lstat(to, &target) == 0) {
        if (!replace) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        // Replacing never swallows a folder, nor a file that an open handle
        // here does not allow to go.
        if (S_ISDIR(target.st_mode) || CheckNameRemovable(target) != ERROR_SUCCESS) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    const bool moved = replace ? rename(from, to) == 0 : RenameWithoutReplacing(from, to);
    if (!moved) {
        const int error = errno;
        if (error == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
        } else {
            SetPathError(error, error == ENOENT ? to : from);
        }
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileUtf8(const char* path) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (lstat(path, &st) != 0) {
        SetPathError(errno, path);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const DWORD shareError = CheckNameRemovable(st);
    if (shareError != ERROR_SUCCESS) {
        SetLastError(shareError);
        return FALSE;
    }
    if (unlink(path) != 0) {
        SetPathError(errno, path);
        return FALSE;
    }
    return TRUE;
}

} // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    return CreateFileUtf8(fileName, desiredAccess, shareMode, creationDisposition,
                          flagsAndAttributes);
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    std::string name;
    if (!WideNameToUtf8(fileName, &name)) return INVALID_HANDLE_VALUE;
    return CreateFileUtf8(name.c_str(), desiredAccess, shareMode, creationDisposition,
                          flagsAndAttributes);
}

DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    const auto object = FindFile(file);
    if (!object) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(object->fd(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (fileSizeHigh == nullptr && size > 0xFFFFFFFFu) {
        // The low word alone would pass a wrong size off as the real one.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_SIZE;
    }
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    // A size whose low word is 0xFFFFFFFF is told apart from a failure by
    // the cleared last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD numberOfBytesToRead, DWORD* numberOfBytesRead,
              void* overlapped) {
    if (numberOfBytesRead) *numberOfBytesRead = 0;
    const auto object = FindFile(file);
    if (!object) return FALSE;
    if (overlapped != nullptr || (buffer == nullptr && numberOfBytesToRead != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!object->canRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat st;
    const bool regular = fstat(object->fd(), &st) == 0 && S_ISREG(st.st_mode);
    auto* bytes = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < numberOfBytesToRead) {
        const size_t chunk = std::min<size_t>(numberOfBytesToRead - done, SSIZE_MAX);
        const ssize_t got = read(object->fd(), bytes + done, chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            SetLastError(errno == EIO ? ERROR_READ_FAULT : Win32ErrorFromErrno(errno));
            if (numberOfBytesRead) *numberOfBytesRead = done;
            return FALSE;
        }
        if (got == 0) break; // end of file: a short read is a success
        done += static_cast<DWORD>(got);
        // Pipes and terminals hand over what they have; waiting for the rest
        // could block forever.
        if (!regular) break;
    }
    if (numberOfBytesRead) *numberOfBytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD numberOfBytesToWrite, DWORD* numberOfBytesWritten,
               void* overlapped) {
    if (numberOfBytesWritten) *numberOfBytesWritten = 0;
    const auto object = FindFile(file);
    if (!object) return FALSE;
    if (overlapped != nullptr || (buffer == nullptr && numberOfBytesToWrite != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!object->canWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    DWORD done = 0;
    BOOL ok = TRUE;
    // The host may take part of a write; the rest is offered again until all
    // of it is taken or the host says why not.
    while (done < numberOfBytesToWrite) {
        const size_t chunk = std::min<size_t>(numberOfBytesToWrite - done, SSIZE_MAX);
        const ssize_t put = write(object->fd(), bytes + done, chunk);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            SetLastError(put == 0 || errno == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(errno));
            ok = FALSE;
            break;
        }
        done += static_cast<DWORD>(put);
    }
    if (numberOfBytesWritten) *numberOfBytesWritten = done;
    return ok;
}

BOOL DeleteFileA(LPCSTR fileName) {
    return DeleteFileUtf8(fileName);
}

BOOL DeleteFileW(LPCWSTR fileName) {
    std::string name;
    if (!WideNameToUtf8(fileName, &name)) return FALSE;
    return DeleteFileUtf8(name.c_str());
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    return MoveFileUtf8(existingFileName, newFileName, flags);
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
    std::string from, to;
    if (!WideNameToUtf8(existingFileName, &from) || !WideNameToUtf8(newFileName, &to)) return FALSE;
    return MoveFileUtf8(from.c_str(), to.c_str(), flags);
}
