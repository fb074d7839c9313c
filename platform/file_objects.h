// Open files and file mappings as kernel objects, and the sharing rules
// between the opens of one file inside this process.
//
// The host has no mandatory share modes, so the services keep them among the
// handles of this process: an open is refused with ERROR_SHARING_VIOLATION
// when it would read or write a file that an earlier open does not share
// that way (or the reverse), and a file with a mapped view cannot be
// truncated. Other processes are not restrained.
#pragma once

#include <sys/types.h>

#include <memory>

#include "platform/kernel_objects.h"

namespace txplatform::detail {

struct FileIdentity {
    dev_t device;
    ino_t inode;
};

bool operator<(const FileIdentity& a, const FileIdentity& b);

// Registers one open of a file. `access` holds GENERIC_READ and GENERIC_WRITE
// bits, `share` FILE_SHARE_* bits. Returns ERROR_SUCCESS, or
// ERROR_SHARING_VIOLATION when an earlier open conflicts, or
// ERROR_USER_MAPPED_FILE when `truncates` and a view of the file is mapped
// (ERROR_NOT_ENOUGH_MEMORY when the bookkeeping cannot grow).
DWORD RegisterOpen(const FileIdentity& id, DWORD access, DWORD share, bool truncates);
void UnregisterOpen(const FileIdentity& id, DWORD access, DWORD share);

// ERROR_SHARING_VIOLATION when an open of the file does not allow it to be
// deleted or renamed, else ERROR_SUCCESS.
DWORD CheckDeleteAllowed(const FileIdentity& id);

// Counts the mapped views of a file. AddMappedView fails only when memory
// runs out.
bool AddMappedView(const FileIdentity& id);
void RemoveMappedView(const FileIdentity& id);

// One successful CreateFile: owns the descriptor and its share registration.
class FileObject final : public KernelObject {
public:
    FileObject(int fd, DWORD access, DWORD share, const FileIdentity& id)
        : fd_(fd), access_(access), share_(share), id_(id) {}
    ~FileObject() override;

    int fd() const { return fd_; }
    bool canRead() const { return (access_ & GENERIC_READ) != 0; }
    bool canWrite() const { return (access_ & GENERIC_WRITE) != 0; }
    const FileIdentity& identity() const { return id_; }

private:
    int fd_;
    DWORD access_;
    DWORD share_;
    FileIdentity id_;
};

// One CreateFileMappingA: keeps its file open (and the file's sharing in
// force) for as long as the mapping or any of its views lives, even after the
// file handle is closed.
class MappingObject final : public KernelObject {
public:
    MappingObject(std::shared_ptr<FileObject> file, uint64_t size)
        : file_(std::move(file)), size_(size) {}

    const FileObject& file() const { return *file_; }
    uint64_t size() const { return size_; }

private:
    std::shared_ptr<FileObject> file_;
    uint64_t size_;
};

} // namespace txplatform::detail
