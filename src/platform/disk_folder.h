#pragma once

#include <filesystem>

#include "platform/folder.h"
#include "platform/small_file.h"

namespace zorblet::platform {

// A folder on disk, made when the first file is written into it.
class DiskFolder final : public Folder {
public:
    explicit DiskFolder(std::filesystem::path path) : path_(std::move(path)) {}

    std::vector<std::string> FileNames() override;
    NewFile WriteNew(std::string_view stem, std::string_view extension, std::string_view bytes) override;
    bool Remove(const std::string& name) override;
    FileStart Read(const std::string& name, std::size_t limit) override;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zorblet::platform
