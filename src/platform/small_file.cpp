#include "platform/small_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <system_error>
#include <utility>

namespace zorblet::platform {

namespace {

std::string ErrorText(int error) {
    return std::strerror(error);
}

// Closes the descriptor when it goes.
struct Descriptor {
    int Fd = -1;
    ~Descriptor() {
        if (Fd >= 0) close(Fd);
    }
};

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A file's bytes on disk, under a hidden name beside the name it is to take.
struct Temporary {
    std::string Path;
    std::string Error;  // why it could not be written; nothing is left then
};

Temporary WriteTemporary(const std::filesystem::path& folder, const std::string& finalName, std::string_view bytes) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return {{}, error.message()};
    std::string temporary = (folder / ("." + finalName + ".XXXXXX")).string();
    Descriptor file{mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.Fd < 0) return {{}, ErrorText(errno)};
    const bool written = WriteAll(file.Fd, bytes) && fsync(file.Fd) == 0;
    int failure = written ? 0 : errno;
    if (close(std::exchange(file.Fd, -1)) != 0 && failure == 0) failure = errno;
    if (failure != 0) {
        unlink(temporary.c_str());
        return {{}, ErrorText(failure)};
    }
    return {temporary, {}};
}

// The rename itself reaches the disk only once the folder is synced.
void SyncFolder(const std::filesystem::path& folder) {
    Descriptor directory{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (directory.Fd >= 0) fsync(directory.Fd);
}

constexpr int MaxNameNumber = 99;

// Renames unless the name is taken; 0, or the error (EEXIST when taken). A file system
// that cannot refuse to replace in the rename itself is asked first.
int RenameToFreeName(const std::string& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    std::error_code error;
    if (std::filesystem::exists(to, error) || error) return error ? error.value() : EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

FileStart ReadFileStart(const std::filesystem::path& path, std::size_t limit) {
    FileStart start;
    Descriptor file{open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.Fd < 0) {
        start.Missing = errno == ENOENT;
        if (!start.Missing) start.Error = ErrorText(errno);
        return start;
    }
    struct stat info {};
    if (fstat(file.Fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        start.Error = "keine gewöhnliche Datei";
        return start;
    }
    start.Text.resize(limit + 1);
    std::size_t filled = 0;
    while (filled < start.Text.size()) {
        const ssize_t got = read(file.Fd, start.Text.data() + filled, start.Text.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            start.Text.clear();
            start.Error = ErrorText(errno);
            return start;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    start.Truncated = filled > limit;
    start.Text.resize(std::min(filled, limit));
    return start;
}

std::string ReplaceFile(const std::filesystem::path& path, std::string_view text) {
    const Temporary temporary = WriteTemporary(path.parent_path(), path.filename().string(), text);
    if (!temporary.Error.empty()) return temporary.Error;
    if (rename(temporary.Path.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        unlink(temporary.Path.c_str());
        return ErrorText(renameError);
    }
    SyncFolder(path.parent_path());
    return {};
}

NewFile WriteNewFile(const std::filesystem::path& folder, std::string_view stem, std::string_view extension,
                     std::string_view bytes) {
    if (folder.empty()) return {{}, "kein Ordner (weder XDG_DATA_HOME noch HOME nennt einen)"};
    const std::string first = std::string(stem) + std::string(extension);
    const Temporary temporary = WriteTemporary(folder, first, bytes);
    if (!temporary.Error.empty()) return {{}, temporary.Error};
    for (int number = 1; number <= MaxNameNumber; ++number) {
        const std::filesystem::path path =
            folder / (number == 1 ? first : std::string(stem) + "-" + std::to_string(number) + std::string(extension));
        const int error = RenameToFreeName(temporary.Path, path);
        if (error == EEXIST) continue;
        if (error != 0) {
            unlink(temporary.Path.c_str());
            return {{}, ErrorText(error)};
        }
        SyncFolder(folder);
        return {path, {}};
    }
    unlink(temporary.Path.c_str());
    return {{}, "kein freier Name für " + first};
}

std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home) {
    const std::filesystem::path file = std::filesystem::path("zorblet") / "zorblet.conf";
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') return std::filesystem::path(xdgConfigHome) / file;
    if (home != nullptr && home[0] != '\0') return std::filesystem::path(home) / ".config" / file;
    return {};
}

namespace {

std::filesystem::path DataFolderPath(const char* xdgDataHome, const char* home, const std::filesystem::path& folder) {
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return std::filesystem::path(xdgDataHome) / folder;
    if (home != nullptr && home[0] != '\0') return std::filesystem::path(home) / ".local" / "share" / folder;
    return {};
}

}  // namespace

std::filesystem::path GamesFolderPath(const char* xdgDataHome, const char* home) {
    return DataFolderPath(xdgDataHome, home, std::filesystem::path("zorblet") / "games");
}

std::filesystem::path OutboxFolderPath(const char* xdgDataHome, const char* home, std::string_view service) {
    return DataFolderPath(xdgDataHome, home, std::filesystem::path("zorblet") / "outbox" / service);
}

}  // namespace zorblet::platform
