#include "platform/small_file.h"

#include <fcntl.h>
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
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) return error.message();
    std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    Descriptor file{mkostemp(temporary.data(), O_CLOEXEC)};
    if (file.Fd < 0) return ErrorText(errno);
    const bool written = WriteAll(file.Fd, text) && fsync(file.Fd) == 0;
    const int writeError = errno;
    if (close(std::exchange(file.Fd, -1)) != 0 || !written) {
        unlink(temporary.c_str());
        return ErrorText(written ? errno : writeError);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        unlink(temporary.c_str());
        return ErrorText(renameError);
    }
    return {};
}

std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home) {
    const std::filesystem::path file = std::filesystem::path("zorblet") / "zorblet.conf";
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') return std::filesystem::path(xdgConfigHome) / file;
    if (home != nullptr && home[0] != '\0') return std::filesystem::path(home) / ".config" / file;
    return {};
}

}  // namespace zorblet::platform
