#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "store/list_backups.h"

namespace zorblet::server {

// Consistent copies of the list's file, handed out piecewise: the service may not write
// where an operator wants the backup (its unit confines it to its own folder), so it
// takes the copy beside the list's file and the operator's command fetches it. A copy lives
// in a file already unlinked, so nothing is left behind when the service ends, and is
// dropped when fetched, or after ten minutes unused.
class BackupCopies {
public:
    using Clock = std::chrono::steady_clock;

    // For a store that offers backups: `file` is where its offer says copies go beside.
    BackupCopies(const ListBackups& list, std::filesystem::path file);
    ~BackupCopies();
    BackupCopies(const BackupCopies&) = delete;
    BackupCopies& operator=(const BackupCopies&) = delete;

    struct Started {
        std::string token;
        std::int64_t size = 0;
    };
    // Takes a copy; throws StorageError.
    Started Start();
    // Up to `length` bytes of the copy from `offset` on; nullopt for an unknown token.
    std::optional<std::string> Read(const std::string& token, std::int64_t offset, std::int64_t length);
    // Drops the copy; false for an unknown token.
    bool Drop(const std::string& token);

private:
    struct Copy {
        int descriptor = -1;
        std::int64_t size = 0;
        Clock::time_point last_use;
    };
    int TakeCopy() const;
    void DropUnused(Clock::time_point now);

    const ListBackups& list_;
    const std::filesystem::path database_;
    std::mutex mutex_;
    std::map<std::string, Copy> copies_;
};

}  // namespace zorblet::server
