#pragma once
// A folder of files the game writes and thins out (the records of games), so that what
// decides which files to keep is tested without a disk.

#include <string>
#include <string_view>
#include <vector>

namespace zorblet::platform {

struct NewFile;

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
};

}  // namespace zorblet::platform
