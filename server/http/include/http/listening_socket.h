#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace zorblet::server {

// A TCP socket listening on host:port (port 0 takes a free one), for a listener to take
// over. Quick restarts may reuse the port, but a second server must not share it.
struct TcpListening {
    int socket = -1;  // -1: cannot listen there
    int port = 0;     // the port bound
};
TcpListening ListenOnTcp(const std::string& host, int port);

// A Unix socket file listening at `path`, created with mode 0660, and removed again when
// this object goes, unless another has replaced it. A socket file left by a server that
// ended without removing it (nothing answers on it) is replaced; one that a running
// server answers on, or a file that is no socket, is an error (std::runtime_error).
class UnixSocketFile {
public:
    explicit UnixSocketFile(std::filesystem::path path);
    ~UnixSocketFile();
    UnixSocketFile(const UnixSocketFile&) = delete;
    UnixSocketFile& operator=(const UnixSocketFile&) = delete;

    // The listening socket, to be handed to a listener once (which then closes it).
    int TakeSocket();
    const std::filesystem::path& path() const { return path_; }

private:
    void ReplaceStaleSocket() const;

    std::filesystem::path path_;
    int socket_ = -1;
    ino_t inode_ = 0;
};

}  // namespace zorblet::server
