#pragma once
// A small text file a player may edit (the settings): read no further than a limit, and
// replaced whole, so that a reader never sees half of it.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zorblet::platform {

struct FileStart {
    std::string Text;     // at most the limit's bytes
    bool Missing = false;  // no such file: not an error
    bool Truncated = false;
    std::string Error;  // why it could not be read; empty when it could
};

// Reads the first `limit` bytes; never waits on a FIFO or a device, which are errors.
FileStart ReadFileStart(const std::filesystem::path& path, std::size_t limit);

// Writes text to a new file in path's folder (made when missing), flushes it and renames
// it over path. Returns why it failed, empty on success; on failure path is untouched.
std::string ReplaceFile(const std::filesystem::path& path, std::string_view text);

// $XDG_CONFIG_HOME/zorblet/zorblet.conf; when that is unset, empty or not absolute,
// $HOME/.config/zorblet/zorblet.conf; empty when neither names a folder.
std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home);

}  // namespace zorblet::platform
