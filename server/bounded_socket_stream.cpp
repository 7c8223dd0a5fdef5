#include "bounded_socket_stream.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zorblet::server {

namespace {

using SocketNameReader = int (*)(int, sockaddr*, socklen_t*);

void ReadSocketName(int socket, SocketNameReader read_name, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (read_name(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
  std::array<char, NI_MAXHOST> host{};
  std::array<char, NI_MAXSERV> service{};
  if (getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host.data(), host.size(),
                  service.data(), service.size(), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host.data();
    port = std::atoi(service.data());
  }
}

}  // namespace

BoundedSocketStream::BoundedSocketStream(int socket, Limits limits)
    : socket_(socket), limits_(limits) {
  BeginRequest();
}

void BoundedSocketStream::BeginRequest() {
  request_bytes_ = 0;
  request_deadline_ = Clock::now() + limits_.request_time;
}

bool BoundedSocketStream::WaitFor(short events, Clock::time_point deadline) const {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd watched{socket_, events, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
    if (ready > 0) return (watched.revents & (events | POLLHUP | POLLERR)) != 0;
    if (ready == 0 || errno != EINTR) return false;
  }
}

bool BoundedSocketStream::is_readable() const {
  return HasBufferedBytes() || WaitFor(POLLIN, request_deadline_);
}

bool BoundedSocketStream::is_writable() const {
  return WaitFor(POLLOUT, Clock::now() + limits_.write_time);
}

bool BoundedSocketStream::FillBuffer() {
  if (!WaitFor(POLLIN, request_deadline_)) return false;
  const ssize_t received = ::recv(socket_, buffer_.data(), buffer_.size(), 0);
  if (received <= 0) return false;
  buffer_begin_ = 0;
  buffer_end_ = static_cast<std::size_t>(received);
  return true;
}

ssize_t BoundedSocketStream::read(char* destination, std::size_t size) {
  if (request_bytes_ >= limits_.max_request_bytes || (!HasBufferedBytes() && !FillBuffer())) {
    read_failed_ = true;
    return -1;
  }
  const std::size_t count = std::min({size, buffer_end_ - buffer_begin_,
                                      limits_.max_request_bytes - request_bytes_});
  std::memcpy(destination, buffer_.data() + buffer_begin_, count);
  buffer_begin_ += count;
  request_bytes_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t BoundedSocketStream::write(const char* source, std::size_t size) {
  if (!is_writable()) return -1;
  return ::send(socket_, source, size, MSG_NOSIGNAL);
}

void BoundedSocketStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ReadSocketName(socket_, ::getpeername, ip, port);
}

void BoundedSocketStream::get_local_ip_and_port(std::string& ip, int& port) const {
  ReadSocketName(socket_, ::getsockname, ip, port);
}

}  // namespace zorblet::server
