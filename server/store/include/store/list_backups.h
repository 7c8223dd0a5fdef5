#pragma once

#include <filesystem>
#include <string>

namespace zorblet::server {

// What a store offers operators who want a backup: copies of the whole list written as
// files beside the list's own file, or a refusal saying how to back the store up with
// its own tools instead.
struct BackupOffer {
    std::filesystem::path file;  // the list's file, which copies are written beside; empty: refused
    std::string refusal;         // empty where copies are offered
};

// Consistent copies of the whole list, taken while it serves.
class ListBackups {
public:
    virtual ~ListBackups() = default;
    virtual BackupOffer OfferBackups() const = 0;
    // Writes a copy of the list into `target`, a new or empty file, as of one moment.
    // Throws StorageError, also where the store offers no copies.
    virtual void CopyList(const std::filesystem::path& target) const = 0;
};

}  // namespace zorblet::server
