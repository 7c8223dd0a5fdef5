#include "ticket/ticket_key_file.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorblet::server {

namespace {

[[noreturn]] void Refuse(const std::filesystem::path& file, const std::string& problem) {
    throw TicketKeyError("game key file " + file.string() + ": " + problem);
}

std::string SystemProblem(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

bool WriteAll(int descriptor, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Writes a new key into a file of its own beside `file` and links it there: the name
// appears only with the whole key behind it, and never replaces a file another instance
// made meanwhile. False when `file` exists by then.
bool CreateKeyFile(const std::filesystem::path& file) {
    std::string temporary = file.string() + ".new-XXXXXX";
    const Descriptor made(::mkstemp(temporary.data()));
    if (made.get() < 0) Refuse(file, SystemProblem("cannot create it"));
    const TicketKey key = TicketKey::Generate();
    const bool written = ::fchmod(made.get(), 0600) == 0 && WriteAll(made.get(), key.bytes()) && ::fsync(made.get()) == 0;
    const int saved_errno = errno;
    const bool linked = written && ::link(temporary.c_str(), file.c_str()) == 0;
    const int link_errno = errno;
    ::unlink(temporary.c_str());
    if (!written) {
        errno = saved_errno;
        Refuse(file, SystemProblem("cannot write it"));
    }
    if (!linked && link_errno == EEXIST) return false;
    if (!linked) {
        errno = link_errno;
        Refuse(file, SystemProblem("cannot create it"));
    }
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    if (const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

TicketKey ReadKeyFile(const std::filesystem::path& file) {
    const Descriptor opened(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (opened.get() < 0) Refuse(file, SystemProblem("cannot open it"));
    struct stat status{};
    if (::fstat(opened.get(), &status) != 0) Refuse(file, SystemProblem("cannot read it"));
    if (!S_ISREG(status.st_mode)) Refuse(file, "it is not a regular file");
    if ((status.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned int>(status.st_mode & 07777));
        Refuse(file, std::string("others than its owner may read or write it (mode ") + mode +
                         "); anyone who reads the key can sign tickets: chmod 600 it, or remove it for a new key");
    }
    if (status.st_size != static_cast<off_t>(TicketKey::Bytes)) {
        Refuse(file, "it holds " + std::to_string(status.st_size) + " bytes, not the " +
                         std::to_string(TicketKey::Bytes) + " of a key; remove it for a new key");
    }
    std::array<std::uint8_t, TicketKey::Bytes> bytes{};
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(opened.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) Refuse(file, got < 0 ? SystemProblem("cannot read it") : "it ended early");
        done += static_cast<std::size_t>(got);
    }
    TicketKey key(bytes);
    OPENSSL_cleanse(bytes.data(), bytes.size());
    return key;
}

}  // namespace

TicketKey LoadOrCreateTicketKey(const std::filesystem::path& file) {
    std::error_code missing;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, missing)) || missing) {
        if (file.has_parent_path()) {
            std::error_code error;
            std::filesystem::create_directories(file.parent_path(), error);
            if (error) Refuse(file, "cannot create its folder: " + error.message());
        }
        CreateKeyFile(file);
    }
    return ReadKeyFile(file);
}

}  // namespace zorblet::server
