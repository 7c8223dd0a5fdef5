#include "platform/disk_folder.h"

#include <system_error>

namespace zorblet::platform {

std::vector<std::string> DiskFolder::FileNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(path_, error), end; !error && entry != end; entry.increment(error)) {
        names.push_back(entry->path().filename().string());
    }
    return names;
}

NewFile DiskFolder::WriteNew(std::string_view stem, std::string_view extension, std::string_view bytes) {
    NewFile file = WriteNewFile(path_, stem, extension, bytes);
    if (!file.Error.empty()) file.Error = path_.string() + ": " + file.Error;
    return file;
}

bool DiskFolder::Remove(const std::string& name) {
    std::error_code error;
    return std::filesystem::remove(path_ / name, error);
}

FileStart DiskFolder::Read(const std::string& name, std::size_t limit) {
    return ReadFileStart(path_ / name, limit);
}

}  // namespace zorblet::platform
