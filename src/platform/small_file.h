#pragma once
// Small files: one a player may edit (the settings), read no further than a limit and
// replaced whole, and new ones written whole (the records of games), so that a reader
// never sees half of either.

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

// Writes bytes to a new file in folder (made when missing) as the first free one of
// stem + extension, stem + "-2" + extension, ... (up to "-99"): a temporary file, synced,
// then renamed to a name no file has, so that a reader never sees half of it and no file
// is ever replaced. Returns the path written, or why it failed (and then nothing is left).
struct NewFile {
    std::filesystem::path Path;
    std::string Error;
};
NewFile WriteNewFile(const std::filesystem::path& folder, std::string_view stem, std::string_view extension,
                     std::string_view bytes);

// $XDG_CONFIG_HOME/zorblet/zorblet.conf; when that is unset, empty or not absolute,
// $HOME/.config/zorblet/zorblet.conf; empty when neither names a folder.
std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home);

// $XDG_DATA_HOME/zorblet/games, or $HOME/.local/share/zorblet/games when that is unset,
// empty or not absolute; empty when neither names a folder.
std::filesystem::path GamesFolderPath(const char* xdgDataHome, const char* home);

// $XDG_DATA_HOME/zorblet/outbox/<service> (or under $HOME/.local/share as above): the
// records that wait to be sent to one highscore service, named by the folder name given.
std::filesystem::path OutboxFolderPath(const char* xdgDataHome, const char* home, std::string_view service);

}  // namespace zorblet::platform
