#pragma once
// A folder of files the game writes and thins out (the records of games, and those waiting
// to be sent), so that what decides which files to keep is tested without a disk.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorblet::platform {

struct NewFile;
struct FileStart;

class Folder {
public:
    virtual ~Folder() = default;
    // The names of the files in it; none when it does not exist yet or cannot be read.
    virtual std::vector<std::string> FileNames() = 0;
    // Writes a new file whole, as platform::WriteNewFile does, under the first free one of
    // stem + extension, stem + "-2" + extension, ...; never replaces a file. Its error
    // names the folder.
    virtual NewFile WriteNew(std::string_view stem, std::string_view extension, std::string_view bytes) = 0;
    // Removes the file; false when it could not.
    virtual bool Remove(const std::string& name) = 0;
    // The file's first `limit` bytes, as platform::ReadFileStart reads them.
    virtual FileStart Read(const std::string& name, std::size_t limit) = 0;
};

}  // namespace zorblet::platform
