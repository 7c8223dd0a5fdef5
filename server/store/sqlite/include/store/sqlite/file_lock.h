#pragma once

#include <filesystem>

namespace zorblet::server {

// The list's files hold every entry, removed ones and the moderators' reasons too, and a
// lock anyone may open could be held to keep the service from starting: they are made
// readable and writable by the service's user only (0600), whatever its umask.

// Opens `file` for reading and writing, creating it 0600 when missing; an existing file
// is taken as it is, with a warning when others may use it (see WarnIfOpenToOthers).
// Returns -1, errno set, when it cannot be opened.
int OpenPrivateFile(const std::filesystem::path& file);

// Writes a warning to the log when `file` exists and other users may read or write it.
void WarnIfOpenToOthers(const std::filesystem::path& file);

// An exclusive advisory lock on a file (made as OpenPrivateFile makes it), held for the
// object's lifetime. Creating it throws StorageError when another process holds the lock.
class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(const std::filesystem::path& file);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

private:
    int descriptor_;
};

}  // namespace zorblet::server
