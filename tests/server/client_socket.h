#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "server_process.h"

namespace zorblet::server::testing {

// A connection to the server on 127.0.0.1 made by hand, from any loopback address (all of
// 127/8 is local on Linux), for tests that hold connections open or watch them end.
class ClientSocket {
public:
    ClientSocket(int port, const std::string& source_address);
    ~ClientSocket();
    ClientSocket(ClientSocket&& other) noexcept;
    ClientSocket& operator=(ClientSocket&&) = delete;

    // Sends what it can; a connection the server closed takes nothing.
    void Send(std::string_view bytes);
    // One whole answer (head and Content-Length body); status 0 when none came in time.
    HttpReply ReadReply(std::chrono::milliseconds timeout);
    // True once the server has closed the connection, waiting at most `timeout`.
    bool WaitUntilClosed(std::chrono::milliseconds timeout);
    bool IsClosed() { return WaitUntilClosed(std::chrono::milliseconds(0)); }

private:
    // Reads what has arrived within `timeout` into `received_`; false once the peer closed.
    bool Receive(std::chrono::milliseconds timeout);

    int socket_ = -1;
    bool closed_ = false;
    std::string received_;
};

// Sends raw bytes to the Unix socket at `path`; returns all it receives until the server
// closes (empty when nothing answers there).
std::string ExchangeOverUnixSocket(const std::filesystem::path& path, const std::string& request);

// A keep-alive GET of `target`, as the game sends it.
std::string KeepAliveRequest(const std::string& target);

// Raises this process's limit of open files to at least `needed` (the hard limit too when
// run as root, else the soft one to the hard one); false when that is not enough.
bool RaiseOpenFileLimit(std::size_t needed);

}  // namespace zorblet::server::testing
