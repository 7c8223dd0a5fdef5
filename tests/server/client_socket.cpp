#include "client_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zorblet::server::testing {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in LoopbackAddress(const std::string& address, int port) {
    sockaddr_in socket_address{};
    socket_address.sin_family = AF_INET;
    socket_address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &socket_address.sin_addr) != 1) {
        throw std::invalid_argument("not an IPv4 address: " + address);
    }
    return socket_address;
}

// The length of a whole answer at the front of `received`, 0 while it is incomplete.
std::size_t AnswerLength(const std::string& received) {
    const std::size_t head_end = received.find("\r\n\r\n");
    if (head_end == std::string::npos) return 0;
    const std::string length_field = "\r\nContent-Length: ";
    std::size_t body = 0;
    if (const std::size_t at = received.find(length_field); at < head_end) {
        body = std::stoul(received.substr(at + length_field.size()));
    }
    const std::size_t total = head_end + 4 + body;
    return received.size() >= total ? total : 0;
}

}  // namespace

ClientSocket::ClientSocket(int port, const std::string& source_address)
    : socket_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in source = LoopbackAddress(source_address, 0);
    const sockaddr_in server = LoopbackAddress("127.0.0.1", port);
    if (socket_ < 0 || bind(socket_, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) {
        throw std::runtime_error("no client socket from " + source_address);
    }
    closed_ = connect(socket_, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0;
}

ClientSocket::~ClientSocket() {
    if (socket_ >= 0) close(socket_);
}

ClientSocket::ClientSocket(ClientSocket&& other) noexcept
    : socket_(other.socket_), closed_(other.closed_), received_(std::move(other.received_)) {
    other.socket_ = -1;
}

void ClientSocket::Send(std::string_view bytes) {
    [[maybe_unused]] const ssize_t sent = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool ClientSocket::Receive(std::chrono::milliseconds timeout) {
    if (closed_) return false;
    pollfd ready{socket_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return true;
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t count = recv(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (count > 0) {
            received_.append(buffer.data(), static_cast<std::size_t>(count));
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        } else {
            closed_ = true;  // an orderly close or a reset
            return false;
        }
    }
}

HttpReply ClientSocket::ReadReply(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::size_t length = AnswerLength(received_);
    while (length == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return {};
        const bool open = Receive(left);  // an answer may come with the close
        length = AnswerLength(received_);
        if (length == 0 && !open) return {};
    }
    HttpReply reply = ParseReply(received_.substr(0, length));
    received_.erase(0, length);
    return reply;
}

bool ClientSocket::WaitUntilClosed(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!Receive(std::max(left, std::chrono::milliseconds(0)))) return true;
    } while (Clock::now() < deadline);
    return false;
}

std::string ExchangeOverUnixSocket(const std::filesystem::path& path, const std::string& request) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return ExchangeWith(reinterpret_cast<const sockaddr*>(&address), sizeof address, request);
}

std::string KeepAliveRequest(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

bool RaiseOpenFileLimit(std::size_t needed) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) return false;
    // Root may raise the hard limit too; anyone else gets what the hard limit allows.
    if (files.rlim_max != RLIM_INFINITY && files.rlim_max < needed) {
        rlimit raised{needed, needed};
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) return true;
    }
    files.rlim_cur = files.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_max >= needed;
}

}  // namespace zorblet::server::testing
