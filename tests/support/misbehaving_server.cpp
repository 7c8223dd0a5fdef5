#include "misbehaving_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <stdexcept>

namespace zorblet::testing {

namespace {

constexpr std::size_t MaxHeadBytes = 64 * 1024;
constexpr std::size_t MaxBodyBytes = 2 * 1024 * 1024;

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int BoundPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool StopRequested(int stopSignal) {
    pollfd stop{stopSignal, POLLIN, 0};
    return poll(&stop, 1, 0) > 0;
}

// Waits until socket has events or the server stops; false on stop.
bool WaitFor(int socket, short events, int stopSignal) {
    std::array<pollfd, 2> waits{pollfd{socket, events, 0}, pollfd{stopSignal, POLLIN, 0}};
    while (poll(waits.data(), waits.size(), -1) < 0) {
        if (errno != EINTR) return false;
    }
    return waits[1].revents == 0;
}

// The request line and headers, up to the blank line; less if the client stops sending.
std::string ReadRequestHead(int socket, int stopSignal) {
    std::string head;
    std::array<char, 4096> buffer;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < MaxHeadBytes) {
        if (!WaitFor(socket, POLLIN, stopSignal)) break;
        const ssize_t n = recv(socket, buffer.data(), buffer.size(), 0);
        if (n > 0) {
            head.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return head;
}

// The Content-Length the head announces; 0 without one.
std::size_t AnnouncedLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return std::strtoull(head.c_str() + at + 17, nullptr, 10);
}

// The body that follows the head, as far as it announced one: what was read with the head,
// then the rest, up to MaxBodyBytes.
std::string ReadRequestBody(int socket, int stopSignal, std::string body, std::size_t length) {
    length = std::min(length, MaxBodyBytes);
    std::array<char, 65536> buffer;
    while (body.size() < length) {
        if (!WaitFor(socket, POLLIN, stopSignal)) break;
        const ssize_t n = recv(socket, buffer.data(), std::min(buffer.size(), length - body.size()), 0);
        if (n > 0) {
            body.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return body;
}

}  // namespace

bool FixtureConnection::WaitUntilWritable() {
    return WaitFor(socket_, POLLOUT, stopSignal_);
}

bool FixtureConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (errno == EAGAIN) {
            if (!WaitUntilWritable()) return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return !StopRequested(stopSignal_);
}

bool FixtureConnection::Pause(std::chrono::milliseconds duration) {
    pollfd stop{stopSignal_, POLLIN, 0};
    return poll(&stop, 1, static_cast<int>(duration.count())) == 0;
}

void FixtureConnection::HoldOpen() {
    std::array<char, 4096> buffer;
    while (WaitFor(socket_, POLLIN, stopSignal_)) {
        const ssize_t n = recv(socket_, buffer.data(), buffer.size(), 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
    }
}

std::string HttpReplyHead(int status, std::size_t bodySize, std::string_view extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
           "\r\nContent-Length: " + std::to_string(bodySize) + "\r\nConnection: close\r\n" + std::string(extraHeaders) +
           "\r\n";
}

std::string HttpReply(int status, std::string_view body, std::string_view extraHeaders) {
    return HttpReplyHead(status, body.size(), extraHeaders) + std::string(body);
}

// Numbered lines, so that a lost, repeated or misplaced piece shows.
std::string PatternBody(std::size_t size) {
    std::string body;
    body.reserve(size + 16);
    std::array<char, 16> line;
    for (int number = 0; body.size() < size; ++number) {
        std::snprintf(line.data(), line.size(), "%07d\n", number);
        body += line.data();
    }
    body.resize(size);
    return body;
}

std::string NotFoundPage() {
    return "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n"
           "<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body></html>\n";
}

std::string FixtureConnection::Target() const {
    const std::size_t start = requestHead_.find(' ');
    const std::size_t end = requestHead_.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos) return {};
    return requestHead_.substr(start + 1, end - start - 1);
}

ServerMode Refuses() {
    return {Listening::Refused, nullptr};
}

ServerMode Unreachable() {
    return {Listening::QueueFull, nullptr};
}

ServerMode SilentAfterAccept() {
    return {Listening::Open, [](FixtureConnection& connection) { connection.HoldOpen(); }};
}

ServerMode StallsMidBody(std::string body) {
    return {Listening::Open, [body = std::move(body)](FixtureConnection& connection) {
                if (connection.Send(HttpReplyHead(200, body.size()) + body.substr(0, body.size() / 2))) {
                    connection.HoldOpen();
                }
            }};
}

ServerMode Trickles(std::string body, std::chrono::milliseconds gap) {
    return {Listening::Open, [body = std::move(body), gap](FixtureConnection& connection) {
                if (!connection.Send(HttpReplyHead(200, body.size()))) return;
                for (char byte : body) {
                    if (!connection.Send(std::string_view(&byte, 1)) || !connection.Pause(gap)) return;
                }
            }};
}

ServerMode Answers(int status, std::string body, std::string extraHeaders) {
    return {Listening::Open,
            [reply = HttpReply(status, body, extraHeaders)](FixtureConnection& connection) { connection.Send(reply); }};
}

ServerMode Redirects(std::string location, std::string body) {
    return Answers(302, std::move(body), "Location: " + location + "\r\n");
}

MisbehavingServer::MisbehavingServer(ServerMode mode, int port) : mode_(std::move(mode)) {
    stopSignal_ = eventfd(0, EFD_CLOEXEC);
    Listen(mode_.Entry, port);
    if (mode_.Entry == Listening::Open) acceptor_ = std::thread([this] { AcceptConnections(); });
}

MisbehavingServer::~MisbehavingServer() {
    Stop();
    close(stopSignal_);
}

void MisbehavingServer::Listen(Listening entry, int port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // The connections of an earlier server on the port may linger in TIME_WAIT; Linux
    // lets a new server bind it only when the old one had set the same option. The real
    // service sets SO_REUSEPORT alone, so a fixed port, which the two take in turns, gets
    // both. That also lets two listen at once: the caller checks that none answers there.
    const int reuse = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (port != 0) setsockopt(listener_, SOL_SOCKET, SO_REUSEPORT, &reuse, sizeof reuse);
    const sockaddr_in address = LoopbackAddress(port);
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(listener_);
        close(stopSignal_);
        throw std::runtime_error("cannot bind loopback port " + std::to_string(port));
    }
    port_ = BoundPort(listener_);
    if (entry == Listening::Refused) return;
    // A backlog of 0 holds one connection that nobody accepts; Linux drops later SYNs.
    listen(listener_, entry == Listening::QueueFull ? 0 : 64);
    if (entry == Listening::QueueFull) {
        queueFiller_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in self = LoopbackAddress(port_);
        connect(queueFiller_, reinterpret_cast<const sockaddr*>(&self), sizeof self);
    }
}

std::string MisbehavingServer::Url(std::string_view target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

void MisbehavingServer::Stop() {
    if (listener_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stopSignal_, &one, sizeof one);
    if (acceptor_.joinable()) acceptor_.join();
    if (queueFiller_ >= 0) close(queueFiller_);
    close(listener_);
    listener_ = queueFiller_ = -1;
}

std::vector<std::string> MisbehavingServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void MisbehavingServer::Record(std::string head) {
    const std::lock_guard lock(mutex_);
    requests_.push_back(std::move(head));
}

void MisbehavingServer::AcceptConnections() {
    std::vector<std::thread> connections;
    while (WaitFor(listener_, POLLIN, stopSignal_)) {
        const int socket = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket >= 0) connections.emplace_back([this, socket] { Serve(socket); });
    }
    for (std::thread& connection : connections) connection.join();
}

void MisbehavingServer::Serve(int socket) {
    std::string head = ReadRequestHead(socket, stopSignal_);
    const std::size_t end = head.find("\r\n\r\n");
    const bool complete = end != std::string::npos;
    std::string body;
    if (complete) {
        body = ReadRequestBody(socket, stopSignal_, head.substr(end + 4), AnnouncedLength(head));
        head.resize(end + 4);
    }
    if (!head.empty()) Record(head + body);
    if (complete && mode_.Script) {
        FixtureConnection connection(socket, stopSignal_, std::move(head), std::move(body));
        mode_.Script(connection);
    }
    shutdown(socket, SHUT_WR);
    close(socket);
}

}  // namespace zorblet::testing
