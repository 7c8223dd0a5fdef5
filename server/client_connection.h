#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include <httplib.h>

#include "connection_quota.h"

namespace zorblet::server {

// One client's connection as httplib reads and writes it. Bytes are taken from the socket
// only when they are there, and a request is handed to httplib only once its whole head
// has arrived, so answering never waits on a client. Limits httplib 0.11 lacks: a request
// head may bring at most `max_request_bytes` and must arrive within `request_time`; an
// idle connection closes after `idle_time`; a client that does not take its answer at once
// is dropped.
class ClientConnection final : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        std::size_t max_request_bytes;
        std::chrono::milliseconds request_time;
        std::chrono::milliseconds idle_time;
        std::size_t max_requests;  // per connection, then it closes
    };

    ClientConnection(int socket, const ClientAddress& address, const Limits& limits, Clock::time_point now);
    ~ClientConnection() override;  // closes the socket
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Takes whatever the socket holds; false once the client has closed or failed (what
    // arrived before still gets answered).
    bool ReceiveAvailable();
    // True when a whole request head is buffered, or more bytes than any head may have.
    bool HasRequestToAnswer() const;
    // Starts answering the next buffered request; true when it is the connection's last.
    bool BeginRequest();
    // True once httplib wanted more than the buffered head or the byte limit allowed.
    bool ReadFailed() const { return read_failed_; }
    // Sends the answer; false when the client does not take it at once.
    bool Flush();
    // Moves the deadline on after answering or receiving; returns it.
    Clock::time_point UpdateDeadline(Clock::time_point now);
    Clock::time_point deadline() const { return deadline_; }
    const ClientAddress& client_address() const { return client_address_; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* destination, std::size_t size) override;
    ssize_t write(const char* source, std::size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return socket_; }

private:
    std::size_t BufferedBytes() const { return input_.size() - consumed_; }

    const int socket_;
    const ClientAddress client_address_;
    const Limits limits_;
    std::string remote_ip_;
    int remote_port_ = -1;
    std::string local_ip_;
    int local_port_ = -1;
    std::string input_;
    std::size_t consumed_ = 0;          // bytes of input_ httplib has read
    std::size_t request_consumed_ = 0;  // of those, by the request being answered
    std::string output_;
    std::size_t requests_ = 0;
    bool read_failed_ = false;
    bool write_failed_ = false;
    std::optional<Clock::time_point> request_started_;
    Clock::time_point deadline_;
};

}  // namespace zorblet::server
