#pragma once
// A loopback HTTP server that misbehaves on purpose, for tests of the game's HTTP client.
// A mode says what it does with each connection; a new mode is one more function below.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zorblet::testing {

// One accepted connection as a mode's script sees it. Every wait ends early when the
// server stops, so no script can keep a test from ending.
class FixtureConnection {
public:
    FixtureConnection(int socket, int stopSignal, std::string requestHead = {}, std::string requestBody = {})
        : socket_(socket),
          stopSignal_(stopSignal),
          requestHead_(std::move(requestHead)),
          requestBody_(std::move(requestBody)) {}

    // The request line and headers the client sent, so a script can answer by target.
    const std::string& RequestHead() const { return requestHead_; }
    // The body its Content-Length announced (at most 2 MiB of it).
    const std::string& RequestBody() const { return requestBody_; }
    // The method of the request line, e.g. "POST".
    std::string Method() const { return requestHead_.substr(0, requestHead_.find(' ')); }
    // The request target of the request line, e.g. "/BestOffSQL.php".
    std::string Target() const;

    // Sends all of bytes; false once the client has gone or the server stops.
    bool Send(std::string_view bytes);
    // False when the server stops during the pause.
    bool Pause(std::chrono::milliseconds duration);
    // Stays silent until the client hangs up or the server stops.
    void HoldOpen();

private:
    bool WaitUntilWritable();

    int socket_;
    int stopSignal_;
    std::string requestHead_;
    std::string requestBody_;
};

enum class Listening {
    Open,
    Refused,    // the port is bound but not listening
    QueueFull,  // one connection fills the listen queue, so later ones wait for ever
};

// Whether the server takes connections, and what it does with each one once the request
// head has arrived (the connection is closed after the script).
struct ServerMode {
    Listening Entry = Listening::Open;
    std::function<void(FixtureConnection&)> Script;
};

// A complete HTTP/1.1 reply with Content-Length, Connection: close and the extra header
// lines, each ending in CR LF.
std::string HttpReply(int status, std::string_view body, std::string_view extraHeaders = "");
// The status line and head of such a reply, for a body of bodySize bytes.
std::string HttpReplyHead(int status, std::size_t bodySize, std::string_view extraHeaders = "");
// size bytes of a pattern in which every prefix is distinct from a shifted copy.
std::string PatternBody(std::size_t size);
// A web server's usual error page.
std::string NotFoundPage();

// The port is bound but nobody listens: every connection is refused.
ServerMode Refuses();
// Connections are taken but never reach the server: the listen queue is full, so the
// client waits for the connection as if the host were unreachable.
ServerMode Unreachable();
// Reads the request and never answers.
ServerMode SilentAfterAccept();
// Sends the head and the first half of body, then nothing.
ServerMode StallsMidBody(std::string body);
// Sends the head, then body one byte at a time, gap apart.
ServerMode Trickles(std::string body, std::chrono::milliseconds gap = std::chrono::seconds(1));
// Answers every request with this reply.
ServerMode Answers(int status, std::string body, std::string extraHeaders = "");
ServerMode Redirects(std::string location, std::string body);

// Runs on 127.0.0.1 from construction until Stop or destruction, on threads of its own,
// and records every request: its head (request line and headers) and the body it announced.
class MisbehavingServer {
public:
    // Port 0 picks a free port. A given port may be bound again at once after an earlier
    // server on it, this one or the real service, so that a benchmark can stand in for
    // the service at its fixed address; it does not tell when a server listens there.
    explicit MisbehavingServer(ServerMode mode, int port = 0);
    ~MisbehavingServer();
    MisbehavingServer(const MisbehavingServer&) = delete;
    MisbehavingServer& operator=(const MisbehavingServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:port" + target.
    std::string Url(std::string_view target = "/") const;
    // Ends every connection and joins every thread; safe to call twice.
    void Stop();

    std::vector<std::string> Requests() const;
    std::size_t RequestCount() const { return Requests().size(); }

private:
    void Listen(Listening entry, int port);
    void AcceptConnections();
    void Serve(int socket);
    void Record(std::string head);

    ServerMode mode_;
    int listener_ = -1;
    int queueFiller_ = -1;
    int stopSignal_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

}  // namespace zorblet::testing
