#include "ops/backup_copies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "store/score_board.h"

namespace zorblet::server {

namespace {

constexpr auto UnusedLife = std::chrono::minutes(10);
// Each copy takes the database's size on disk: a few at a time are plenty.
constexpr std::size_t MaxCopies = 4;

std::string NewToken() {
    static constexpr char Hex[] = "0123456789abcdef";
    std::random_device random;
    std::string token;
    for (int i = 0; i < 32; ++i) token += Hex[random() % 16];
    return token;
}

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw StorageError(what + ": " + std::strerror(errno));
}

}  // namespace

// A copy under way when a server died stays beside the database; this server owns the
// database now, so whatever copy is there is nobody's.
BackupCopies::BackupCopies(const ListBackups& list, std::filesystem::path file)
    : list_(list), database_(std::move(file)) {
    const std::string stale_prefix = database_.filename().string() + ".backup-";
    std::error_code ignored;
    const std::filesystem::path folder = database_.has_parent_path() ? database_.parent_path() : ".";
    for (const auto& file : std::filesystem::directory_iterator(folder, ignored)) {
        if (file.path().filename().string().starts_with(stale_prefix)) std::filesystem::remove(file.path(), ignored);
    }
}

BackupCopies::~BackupCopies() {
    for (const auto& [token, copy] : copies_) ::close(copy.descriptor);
}

// Written under a temporary name beside the database, opened, then unlinked at once.
int BackupCopies::TakeCopy() const {
    std::string path = database_.string() + ".backup-XXXXXX";
    const int created = ::mkstemp(path.data());
    if (created < 0) ThrowSystemError("cannot create a file beside " + database_.string());
    ::close(created);
    try {
        list_.CopyList(path);
    } catch (...) {
        ::unlink(path.c_str());
        ::unlink((path + "-journal").c_str());
        throw;
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int open_error = errno;
    ::unlink(path.c_str());
    if (descriptor < 0) {
        errno = open_error;
        ThrowSystemError("cannot read the copy");
    }
    return descriptor;
}

BackupCopies::Started BackupCopies::Start() {
    {
        std::lock_guard lock(mutex_);
        DropUnused(Clock::now());
        if (copies_.size() >= MaxCopies) throw StorageError("too many backups are being fetched at once");
    }
    const int descriptor = TakeCopy();  // takes a while: outside the lock
    struct stat status{};
    ::fstat(descriptor, &status);
    Started started{NewToken(), static_cast<std::int64_t>(status.st_size)};
    std::lock_guard lock(mutex_);
    copies_[started.token] = {descriptor, started.size, Clock::now()};
    return started;
}

std::optional<std::string> BackupCopies::Read(const std::string& token, std::int64_t offset, std::int64_t length) {
    std::lock_guard lock(mutex_);
    const auto found = copies_.find(token);
    if (found == copies_.end()) return std::nullopt;
    Copy& copy = found->second;
    copy.last_use = Clock::now();
    std::string bytes(static_cast<std::size_t>(std::clamp<std::int64_t>(copy.size - offset, 0, length)), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t read = ::pread(copy.descriptor, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) ThrowSystemError("cannot read the copy");
        done += static_cast<std::size_t>(read);
    }
    return bytes;
}

bool BackupCopies::Drop(const std::string& token) {
    std::lock_guard lock(mutex_);
    const auto found = copies_.find(token);
    if (found == copies_.end()) return false;
    ::close(found->second.descriptor);
    copies_.erase(found);
    return true;
}

void BackupCopies::DropUnused(Clock::time_point now) {
    std::erase_if(copies_, [now](const auto& item) {
        if (now - item.second.last_use < UnusedLife) return false;
        ::close(item.second.descriptor);
        return true;
    });
}

}  // namespace zorblet::server
