#include "connection_loop.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace zorblet::server {

namespace {

// How often connections past their deadline are looked for.
constexpr int SweepMilliseconds = 250;

}  // namespace

ConnectionLoop::ConnectionLoop(Answerer answer, const ClientConnection::Limits& limits, ConnectionQuota& quota)
    : answer_(std::move(answer)),
      limits_(limits),
      quota_(quota),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wake_;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    thread_ = std::thread([this] { Run(); });
}

ConnectionLoop::~ConnectionLoop() {
    Stop();
    thread_.join();
    for (const auto& [socket, address] : adopted_) {
        quota_.Release(address);
        ::close(socket);
    }
    ::close(wake_);
    ::close(epoll_);
}

void ConnectionLoop::Adopt(int socket, const ClientAddress& address) {
    {
        std::lock_guard lock(mutex_);
        adopted_.emplace_back(socket, address);
    }
    Wake();
}

void ConnectionLoop::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    Wake();
}

void ConnectionLoop::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

void ConnectionLoop::Run() {
    auto next_sweep = ClientConnection::Clock::now();
    std::array<epoll_event, 64> events;
    for (;;) {
        const int ready = ::epoll_wait(epoll_, events.data(), events.size(), SweepMilliseconds);
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.fd != wake_) {
                ServeReadable(events[i].data.fd);
            } else if (!TakeAdopted()) {
                while (!connections_.empty()) Close(connections_.begin()->first);
                return;
            }
        }
        const auto now = ClientConnection::Clock::now();
        if (now >= next_sweep) {
            CloseExpired(now);
            next_sweep = now + std::chrono::milliseconds(SweepMilliseconds);
        }
    }
}

bool ConnectionLoop::TakeAdopted() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(wake_, &count, sizeof count);
    std::vector<std::pair<int, ClientAddress>> sockets;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        sockets.swap(adopted_);
    }
    const auto now = ClientConnection::Clock::now();
    for (const auto& [socket, address] : sockets) {
        const int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // no 40 ms ACK waits
        connections_.emplace(socket, std::make_unique<ClientConnection>(socket, address, limits_, now));
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = socket;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event);
    }
    return true;
}

void ConnectionLoop::ServeReadable(int socket) {
    const auto found = connections_.find(socket);
    if (found == connections_.end()) return;
    ClientConnection& connection = *found->second;
    const bool open = connection.ReceiveAvailable();
    while (connection.HasRequestToAnswer()) {
        const bool last = connection.BeginRequest();
        if (!answer_(connection, last) || last) {
            Close(socket);
            return;
        }
    }
    if (!open) {
        Close(socket);
        return;
    }
    connection.UpdateDeadline(ClientConnection::Clock::now());
}

void ConnectionLoop::CloseExpired(ClientConnection::Clock::time_point now) {
    std::vector<int> expired;
    for (const auto& [socket, connection] : connections_) {
        if (connection->deadline() <= now) expired.push_back(socket);
    }
    for (int socket : expired) Close(socket);
}

void ConnectionLoop::Close(int socket) {
    const auto found = connections_.find(socket);
    // Released before the client can see the close, so that one reconnecting at once
    // finds its slot free.
    quota_.Release(found->second->client_address());
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
    ::shutdown(socket, SHUT_RDWR);
    connections_.erase(found);  // closes the socket
}

}  // namespace zorblet::server
