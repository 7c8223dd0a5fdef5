#include "client_connection.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace zorblet::server {

namespace {

using SocketNameReader = int (*)(int, sockaddr*, socklen_t*);

void ReadSocketName(int socket, SocketNameReader read_name, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (read_name(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host.data(), host.size(), service.data(),
                    service.size(), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host.data();
        port = std::atoi(service.data());
    }
}

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

}  // namespace

ClientConnection::ClientConnection(int socket, const ClientAddress& address, const Limits& limits,
                                   Clock::time_point now)
    : socket_(socket), client_address_(address), limits_(limits), deadline_(now + limits.idle_time) {
    ReadSocketName(socket_, ::getpeername, remote_ip_, remote_port_);
    ReadSocketName(socket_, ::getsockname, local_ip_, local_port_);
}

ClientConnection::~ClientConnection() {
    ::close(socket_);
}

bool ClientConnection::ReceiveAvailable() {
    std::array<char, 4096> chunk;
    while (BufferedBytes() <= limits_.max_request_bytes) {
        const ssize_t received = ::recv(socket_, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (received > 0) {
            input_.append(chunk.data(), static_cast<std::size_t>(received));
        } else if (received < 0 && errno == EINTR) {
            continue;
        } else {
            return received < 0 && WouldBlock();
        }
    }
    return true;
}

bool ClientConnection::HasRequestToAnswer() const {
    const std::string_view buffered = std::string_view(input_).substr(consumed_);
    return buffered.size() > limits_.max_request_bytes || buffered.find("\r\n\r\n") != std::string_view::npos ||
           buffered.find("\n\n") != std::string_view::npos;
}

bool ClientConnection::BeginRequest() {
    request_consumed_ = 0;
    return ++requests_ >= limits_.max_requests;
}

ClientConnection::Clock::time_point ClientConnection::UpdateDeadline(Clock::time_point now) {
    // Bytes left over after an answer begin the next request: its head gets a time of its
    // own, or a client that pipelines would be held to the time of its first request.
    if (consumed_ > 0) request_started_.reset();
    input_.erase(0, consumed_);
    consumed_ = 0;
    if (input_.empty()) {
        request_started_.reset();
        deadline_ = now + limits_.idle_time;
    } else {
        if (!request_started_) request_started_ = now;
        deadline_ = *request_started_ + limits_.request_time;
    }
    return deadline_;
}

bool ClientConnection::is_readable() const {
    return BufferedBytes() > 0;
}

bool ClientConnection::is_writable() const {
    return !write_failed_;
}

ssize_t ClientConnection::read(char* destination, std::size_t size) {
    const std::size_t allowed = limits_.max_request_bytes - std::min(request_consumed_, limits_.max_request_bytes);
    const std::size_t count = std::min({size, BufferedBytes(), allowed});
    if (count == 0) {
        read_failed_ = true;
        return -1;
    }
    std::memcpy(destination, input_.data() + consumed_, count);
    consumed_ += count;
    request_consumed_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t ClientConnection::write(const char* source, std::size_t size) {
    if (write_failed_) return -1;
    output_.append(source, size);
    return static_cast<ssize_t>(size);
}

bool ClientConnection::Flush() {
    std::size_t sent = 0;
    while (!write_failed_ && sent < output_.size()) {
        const ssize_t count =
            ::send(socket_, output_.data() + sent, output_.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            write_failed_ = true;  // a full send buffer too: the client is not reading
        }
    }
    output_.clear();
    return !write_failed_;
}

void ClientConnection::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = remote_ip_;
    port = remote_port_;
}

void ClientConnection::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = local_ip_;
    port = local_port_;
}

}  // namespace zorblet::server
