#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <httplib.h>

#include "connection_loop.h"
#include "connection_quota.h"
#include "highscore_service.h"

namespace zorblet::server {

// The HTTP side: cpp-httplib parses requests and writes answers; connection loops (epoll,
// one by default) carry the connections, so the number of threads stays fixed however
// many clients connect. One access-log line per request goes to stderr.
class HttpFrontend {
public:
    // `connections_per_address`: open connections one client address may hold, 0 for any.
    HttpFrontend(HighscoreService& service, std::size_t loops, std::size_t connections_per_address);
    ~HttpFrontend();

    // Binds host:port (port 0 takes any free port); returns the bound port or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop; false when the listening socket failed.
    bool Run();
    // Ends Run from another thread; waits for Run to begin if it has not yet. Call once,
    // and only when Run is called or has returned.
    void Stop();

private:
    // httplib, with its accepted connections handed to the connection loops instead of a
    // thread each, and its listen backlog of 5 widened (a burst of new connections would
    // otherwise lose handshakes and wait a second for TCP to retry).
    class ListeningServer final : public httplib::Server {
    public:
        ListeningServer(std::size_t loops, std::size_t connections_per_address);
        void WidenListenBacklog(int backlog);
        void StopConnections();

    private:
        bool process_and_close_socket(socket_t socket) override;
        bool AnswerRequest(ClientConnection& connection, bool last);

        ConnectionQuota quota_;      // outlives the loops, which release into it
        std::size_t next_loop_ = 0;  // accepting thread only
        std::vector<std::unique_ptr<ConnectionLoop>> loops_;
    };

    void ConfigureServer();
    void Respond(const httplib::Request& request, httplib::Response& response);

    HighscoreService& service_;
    ListeningServer server_;
    std::atomic<bool> run_returned_{false};
};

}  // namespace zorblet::server
