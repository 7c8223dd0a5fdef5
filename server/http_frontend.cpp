#include "http_frontend.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <thread>

#include "access_log.h"

namespace zorblet::server {

namespace {

constexpr const char* ContentType = "text/plain; charset=windows-1252";
constexpr int ListenBacklog = 1024;
constexpr std::size_t MaxOpenConnections = 4096;
// Request heads of up to 16 KiB (a request line of up to 8 KiB, httplib's own limit, and
// headers) within 10 s; idle connections close after 5 s, and after 1000 requests.
constexpr ClientConnection::Limits ConnectionLimits{16 * 1024, std::chrono::seconds(10), std::chrono::seconds(5), 1000};

// The accepting thread only hands sockets over; it never waits on a client.
class HandOverQueue final : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override {}
};

std::string_view ReasonForStatus(int status) {
    switch (status) {
        case 400:
            return "bad request";
        case 404:
            return "not found";
        case 413:
            return "requests take no body";
        case 414:
            return "request target too long";
        case 500:
            return "internal error";
        default:
            return "request refused";
    }
}

bool HasBody(const httplib::Request& request) {
    return request.has_header("Transfer-Encoding") ||
           (request.has_header("Content-Length") && request.get_header_value("Content-Length") != "0");
}

void SetReply(httplib::Response& response, const Reply& reply) {
    response.status = reply.status;
    response.set_content(reply.body, ContentType);
    if (!reply.allow.empty()) response.set_header("Allow", reply.allow);
}

void LogExchange(const httplib::Request& request, const httplib::Response& response) {
    WriteLogLine(FormatAccessLine(
        {request.remote_addr, request.method, request.target, request.version, response.status, response.body.size()},
        std::time(nullptr)));
}

// Each connection holds a descriptor: stay below the process's limit, raised as far as
// allowed.
std::size_t FindConnectionLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return 256;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    const auto usable = files.rlim_cur > 128 ? files.rlim_cur - 64 : 64;
    return std::min<std::size_t>(MaxOpenConnections, usable);
}

}  // namespace

HttpFrontend::ListeningServer::ListeningServer(std::size_t loops, std::size_t connections_per_address)
    : quota_(FindConnectionLimit(), connections_per_address) {
    for (std::size_t i = 0; i < loops; ++i) {
        loops_.push_back(std::make_unique<ConnectionLoop>(
            [this](ClientConnection& connection, bool last) { return AnswerRequest(connection, last); },
            ConnectionLimits, quota_));
    }
}

void HttpFrontend::ListeningServer::WidenListenBacklog(int backlog) {
    ::listen(svr_sock_, backlog);
}

void HttpFrontend::ListeningServer::StopConnections() {
    loops_.clear();
}

// A connection over either cap is closed at once and unanswered: queued, connections would
// pile up without bound; answered, the very client the cap holds back would be read and
// served. So the accepting thread never waits on a client.
bool HttpFrontend::ListeningServer::process_and_close_socket(socket_t socket) {
    const std::optional<ClientAddress> address = ReadPeerAddress(socket);
    if (!address || !quota_.Admit(*address)) {
        ::close(socket);
        return false;
    }
    loops_[next_loop_]->Adopt(socket, *address);
    next_loop_ = (next_loop_ + 1) % loops_.size();
    return true;
}

bool HttpFrontend::ListeningServer::AnswerRequest(ClientConnection& connection, bool last) {
    bool client_closes = false;
    bool trustworthy = false;  // stays false when httplib could not parse the request
    const bool answered = process_request(connection, last, client_closes,
                                          [&](httplib::Request& request) { trustworthy = !HasBody(request); });
    const bool sent = connection.Flush();
    // After a refused or unparsable request, the bytes that follow may be anything.
    return answered && sent && !client_closes && trustworthy && !connection.ReadFailed();
}

HttpFrontend::HttpFrontend(HighscoreService& service, std::size_t loops, std::size_t connections_per_address)
    : service_(service), server_(loops, connections_per_address) {
    ConfigureServer();
}

HttpFrontend::~HttpFrontend() {
    server_.StopConnections();
}

void HttpFrontend::ConfigureServer() {
    server_.new_task_queue = [] { return new HandOverQueue(); };
    // Quick restarts may reuse the port, but a second server must not share it: with
    // SO_REUSEPORT (httplib's default) the kernel would split the players between two databases.
    server_.set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Every request goes to the service, whatever its method; no pattern matching.
    server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        Respond(request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    // Refusals made by httplib itself (bad request line, oversized target) get a reason too.
    server_.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            SetReply(response, RefuseRequest(response.status, ReasonForStatus(response.status)));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server_.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        SetReply(response, RefuseRequest(500, ReasonForStatus(500)));
    });
    server_.set_logger(LogExchange);
}

void HttpFrontend::Respond(const httplib::Request& request, httplib::Response& response) {
    if (HasBody(request)) {
        // Never read: the game sends none. The connection closes after this answer.
        SetReply(response, RefuseRequest(413, ReasonForStatus(413)));
        response.set_header("Connection", "close");
        return;
    }
    SetReply(response, service_.Answer(request.method, request.target, request.remote_addr));
}

int HttpFrontend::Bind(const std::string& host, int port) {
    const int bound = port == 0 ? server_.bind_to_any_port(host) : (server_.bind_to_port(host, port) ? port : -1);
    if (bound > 0) server_.WidenListenBacklog(ListenBacklog);
    return bound;
}

bool HttpFrontend::Run() {
    const bool served = server_.listen_after_bind();
    server_.StopConnections();
    run_returned_ = true;
    return served;
}

void HttpFrontend::Stop() {
    // httplib ignores stop() until it listens, and must not be stopped twice.
    while (!server_.is_running()) {
        if (run_returned_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server_.stop();
}

}  // namespace zorblet::server
