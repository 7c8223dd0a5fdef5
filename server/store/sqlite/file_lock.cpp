#include "store/sqlite/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "store/score_board.h"

namespace zorblet::server {

namespace {

constexpr mode_t PrivateMode = 0600;
constexpr mode_t OthersBits = 0077;

void WarnIfModeOpenToOthers(const std::filesystem::path& file, mode_t mode) {
    if ((mode & OthersBits) == 0) return;
    std::fprintf(stderr, "zorblet-highscore-server: warning: %s is open to other users (mode %04o); chmod 600 it\n",
                 file.c_str(), static_cast<unsigned int>(mode & 07777));
}

}  // namespace

int OpenPrivateFile(const std::filesystem::path& file) {
    const int created = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, PrivateMode);
    if (created >= 0) {
        ::fchmod(created, PrivateMode);  // the umask may have taken the owner's bits too
        return created;
    }
    if (errno != EEXIST) return -1;
    const int opened = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    struct stat status{};
    if (opened >= 0 && ::fstat(opened, &status) == 0) WarnIfModeOpenToOthers(file, status.st_mode);
    return opened;
}

void WarnIfOpenToOthers(const std::filesystem::path& file) {
    struct stat status{};
    if (::stat(file.c_str(), &status) == 0) WarnIfModeOpenToOthers(file, status.st_mode);
}

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& file) : descriptor_(OpenPrivateFile(file)) {
    if (descriptor_ < 0) {
        throw StorageError("cannot open " + file.string() + ": " + std::strerror(errno));
    }
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor_);
        throw StorageError(error == EWOULDBLOCK ? file.string() + " is held by another running server"
                                                : "cannot lock " + file.string() + ": " + std::strerror(error));
    }
}

ExclusiveFileLock::~ExclusiveFileLock() {
    ::close(descriptor_);
}

}  // namespace zorblet::server
