#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include <httplib.h>

#include "highscore_service.h"

namespace zorblet::server {

// The HTTP side: cpp-httplib with bounded threads, time and size limits, TCP_NODELAY and
// one access-log line per request on stderr, handing every request to the service.
class HttpFrontend {
 public:
  HttpFrontend(HighscoreService& service, std::size_t threads);

  // Binds host:port (port 0 takes any free port); returns the bound port or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop; false when the listening socket failed.
  bool Run();
  // Ends Run from another thread; waits for Run to begin if it has not yet. Call once,
  // and only when Run is called or has returned.
  void Stop();

 private:
  // httplib with two changes: its listen backlog of 5 is widened (a burst of new
  // connections would otherwise lose handshakes and wait a second for TCP to retry), and
  // each connection runs over a BoundedSocketStream, since httplib's own loop reads
  // headers without any limit.
  class ListeningServer final : public httplib::Server {
   public:
    ListeningServer();
    ~ListeningServer() override;
    void WidenListenBacklog(int backlog);
    // Ends the wait of every connection between requests, now and from now on.
    void WakeIdleConnections();

   private:
    bool process_and_close_socket(socket_t socket) override;
    void ServeConnection(int socket);
    bool WaitForNextRequest(int socket) const;

    int stop_event_;  // an eventfd, readable once stopping has begun
  };

  void ConfigureServer(std::size_t threads);
  void Respond(const httplib::Request& request, httplib::Response& response);

  HighscoreService& service_;
  ListeningServer server_;
  std::atomic<bool> run_returned_{false};
};

}  // namespace zorblet::server
