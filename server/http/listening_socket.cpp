#include "http/listening_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zorblet::server {

namespace {

// A burst of new connections must not lose handshakes and wait a second for TCP to retry.
constexpr int ListenBacklog = 1024;

int ReadBoundPort(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

sockaddr_un UnixAddress(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) {
        throw std::runtime_error("the socket path " + path.string() + " is too long");
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    return address;
}

std::string Problem(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

TcpListening ListenOnTcp(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return {};
    const int socket = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int yes = 1;
    const bool listening = socket >= 0 && ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                           ::bind(socket, found->ai_addr, found->ai_addrlen) == 0 &&
                           ::listen(socket, ListenBacklog) == 0;
    ::freeaddrinfo(found);
    if (!listening) {
        if (socket >= 0) ::close(socket);
        return {};
    }
    return {socket, ReadBoundPort(socket)};
}

UnixSocketFile::UnixSocketFile(std::filesystem::path path) : path_(std::move(path)) {
    ReplaceStaleSocket();
    const sockaddr_un address = UnixAddress(path_);
    socket_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket_ < 0) throw std::runtime_error(Problem("cannot make a socket for", path_));
    // Created without any permission for others, then given exactly its mode: no moment
    // in which others could connect. This runs before any other thread starts.
    const mode_t umask_before = ::umask(0177);
    const bool bound = ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(umask_before);
    struct stat status {};
    if (!bound || ::chmod(path_.c_str(), 0660) != 0 || ::stat(path_.c_str(), &status) != 0 ||
        ::listen(socket_, ListenBacklog) != 0) {
        const std::string problem = Problem("cannot listen on", path_);
        ::close(socket_);
        if (bound) ::unlink(path_.c_str());
        throw std::runtime_error(problem);
    }
    inode_ = status.st_ino;
}

UnixSocketFile::~UnixSocketFile() {
    if (socket_ >= 0) ::close(socket_);
    struct stat status {};
    if (::lstat(path_.c_str(), &status) == 0 && status.st_ino == inode_) ::unlink(path_.c_str());
}

int UnixSocketFile::TakeSocket() {
    const int socket = socket_;
    socket_ = -1;
    return socket;
}

void UnixSocketFile::ReplaceStaleSocket() const {
    struct stat status {};
    if (::lstat(path_.c_str(), &status) != 0) {
        if (errno == ENOENT) return;
        throw std::runtime_error(Problem("cannot look at", path_));
    }
    if (!S_ISSOCK(status.st_mode)) throw std::runtime_error(path_.string() + " exists and is not a socket");
    const sockaddr_un address = UnixAddress(path_);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    ::close(probe);
    if (answered) throw std::runtime_error(path_.string() + " is answered by another running server");
    if (error != ECONNREFUSED) {
        errno = error;
        throw std::runtime_error(Problem("cannot tell whether a server answers on", path_));
    }
    if (::unlink(path_.c_str()) != 0) throw std::runtime_error(Problem("cannot replace the stale socket", path_));
}

}  // namespace zorblet::server
