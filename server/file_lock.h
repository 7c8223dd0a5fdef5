#pragma once

#include <filesystem>

namespace zorblet::server {

// An exclusive advisory lock on a file, held for the object's lifetime. Creating it
// throws StorageError when another process holds the lock.
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
