// The in-process share-mode bookkeeping of open files.
#include <unistd.h>

#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "platform/file_objects.h"

namespace txplatform::detail {
namespace {

struct OpenRecord {
    DWORD access;
    DWORD share;
};

struct FileState {
    std::vector<OpenRecord> opens;
    unsigned long views = 0;
};

std::mutex& SharingMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<FileIdentity, FileState>& Files() {
    static auto* files = new std::map<FileIdentity, FileState>();
    return *files;
}

bool Conflicts(const OpenRecord& earlier, DWORD access, DWORD share) {
    if ((access & GENERIC_READ) && !(earlier.share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(earlier.share & FILE_SHARE_WRITE)) return true;
    if ((earlier.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((earlier.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    return false;
}

void DropIfUnused(std::map<FileIdentity, FileState>::iterator it) {
    if (it->second.opens.empty() && it->second.views == 0) Files().erase(it);
}

} // namespace

bool operator<(const FileIdentity& a, const FileIdentity& b) {
    return a.device != b.device ? a.device < b.device : a.inode < b.inode;
}

DWORD RegisterOpen(const FileIdentity& id, DWORD access, DWORD share, bool truncates) {
    std::lock_guard<std::mutex> lock(SharingMutex());
    try {
        const auto it = Files().try_emplace(id).first;
        FileState& state = it->second;
        for (const OpenRecord& earlier : state.opens) {
            if (Conflicts(earlier, access, share)) return ERROR_SHARING_VIOLATION;
        }
        if (truncates && state.views != 0) return ERROR_USER_MAPPED_FILE;
        state.opens.push_back({access, share});
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        const auto it = Files().find(id);
        if (it != Files().end()) DropIfUnused(it);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

void UnregisterOpen(const FileIdentity& id, DWORD access, DWORD share) {
    std::lock_guard<std::mutex> lock(SharingMutex());
    const auto it = Files().find(id);
    if (it == Files().end()) return;
    auto& opens = it->second.opens;
    for (auto open = opens.begin(); open != opens.end(); ++open) {
        if (open->access == access && open->share == share) {
            opens.erase(open);
            break;
        }
    }
    DropIfUnused(it);
}

DWORD CheckDeleteAllowed(const FileIdentity& id) {
    std::lock_guard<std::mutex> lock(SharingMutex());
    const auto it = Files().find(id);
    if (it == Files().end()) return ERROR_SUCCESS;
    for (const OpenRecord& open : it->second.opens) {
        if (!(open.share & FILE_SHARE_DELETE)) return ERROR_SHARING_VIOLATION;
    }
    return ERROR_SUCCESS;
}

bool AddMappedView(const FileIdentity& id) {
    std::lock_guard<std::mutex> lock(SharingMutex());
    try {
        ++Files()[id].views;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void RemoveMappedView(const FileIdentity& id) {
    std::lock_guard<std::mutex> lock(SharingMutex());
    const auto it = Files().find(id);
    if (it == Files().end() || it->second.views == 0) return;
    --it->second.views;
    DropIfUnused(it);
}

FileObject::~FileObject() {
    UnregisterOpen(id_, access_, share_);
    close(fd_);
}

} // namespace txplatform::detail
