#include "file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "score_board.h"

namespace zorblet::server {

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& file)
    : descriptor_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
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
