#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "client_connection.h"
#include "connection_quota.h"

namespace zorblet::server {

// One thread that serves many client connections, waiting for all of them with epoll:
// an idle or slow client costs a file descriptor and a few kilobytes, never a thread.
// Requests are answered on this thread as soon as their head is complete.
class ConnectionLoop {
public:
    // Answers the request at the front of the connection's buffer; false closes it.
    using Answerer = std::function<bool(ClientConnection& connection, bool last)>;

    // Every connection handed over was admitted by `quota`; the loop releases it on close.
    ConnectionLoop(Answerer answer, const ClientConnection::Limits& limits, ConnectionQuota& quota);
    ~ConnectionLoop();  // stops and closes every connection
    ConnectionLoop(const ConnectionLoop&) = delete;
    ConnectionLoop& operator=(const ConnectionLoop&) = delete;

    // Hands over an accepted socket from `address`; safe from any thread.
    void Adopt(int socket, const ClientAddress& address);
    // Ends the loop after the request it is answering; safe from any thread.
    void Stop();

private:
    void Run();
    void Wake();
    bool TakeAdopted();  // false once stopping
    void ServeReadable(int socket);
    void CloseExpired(ClientConnection::Clock::time_point now);
    void Close(int socket);

    const Answerer answer_;
    const ClientConnection::Limits limits_;
    ConnectionQuota& quota_;
    const int epoll_;
    const int wake_;  // an eventfd in the epoll set
    std::mutex mutex_;
    std::vector<std::pair<int, ClientAddress>> adopted_;
    bool stopping_ = false;
    std::unordered_map<int, std::unique_ptr<ClientConnection>> connections_;  // loop thread only
    std::thread thread_;
};

}  // namespace zorblet::server
