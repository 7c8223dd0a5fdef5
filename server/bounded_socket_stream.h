#pragma once

#include <array>
#include <chrono>
#include <cstddef>

#include <httplib.h>

namespace zorblet::server {

// One client connection as httplib reads and writes it, with the limits httplib 0.11
// lacks: a request (request line, headers and anything else read for it) may bring at
// most `max_request_bytes` and must arrive within `request_time`, so neither endless
// headers nor a trickle of bytes can hold memory or a thread for long.
class BoundedSocketStream final : public httplib::Stream {
 public:
  struct Limits {
    std::size_t max_request_bytes;
    std::chrono::milliseconds request_time;
    std::chrono::milliseconds write_time;
  };

  BoundedSocketStream(int socket, Limits limits);

  // Starts the byte and time budget of the next request on this connection.
  void BeginRequest();
  // True when bytes of the next request already arrived with the previous one.
  bool HasBufferedBytes() const { return buffer_begin_ < buffer_end_; }
  // True once a read hit a limit, a timeout or the end of the connection: what is left
  // on the connection cannot be trusted to start a request.
  bool ReadFailed() const { return read_failed_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* destination, std::size_t size) override;
  ssize_t write(const char* source, std::size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool WaitFor(short events, Clock::time_point deadline) const;
  bool FillBuffer();

  const int socket_;
  const Limits limits_;
  std::array<char, 4096> buffer_{};
  std::size_t buffer_begin_ = 0;
  std::size_t buffer_end_ = 0;
  std::size_t request_bytes_ = 0;
  Clock::time_point request_deadline_;
  bool read_failed_ = false;
};

}  // namespace zorblet::server
