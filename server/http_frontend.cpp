#include "http_frontend.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>
#include <exception>

#include "access_log.h"
#include "bounded_socket_stream.h"
#include "bounded_thread_pool.h"

namespace zorblet::server {

namespace {

constexpr const char* ContentType = "text/plain; charset=windows-1252";
constexpr int ListenBacklog = 1024;
constexpr std::size_t WaitingConnectionsPerThread = 4;
constexpr int KeepAliveMilliseconds = 5000;
constexpr std::size_t KeepAliveRequests = 1000;
// A request line of up to 8 KiB (httplib's own limit) and a normal set of headers.
constexpr BoundedSocketStream::Limits ConnectionLimits{
    16 * 1024, std::chrono::seconds(10), std::chrono::seconds(5)};

std::string_view ReasonForStatus(int status) {
  switch (status) {
    case 400: return "bad request";
    case 404: return "not found";
    case 413: return "requests take no body";
    case 414: return "request target too long";
    case 500: return "internal error";
    default: return "request refused";
  }
}

bool HasBody(const httplib::Request& request) {
  return request.has_header("Transfer-Encoding") ||
         (request.has_header("Content-Length") && request.get_header_value("Content-Length") != "0");
}

void SetReply(httplib::Response& response, const Reply& reply) {
  response.status = reply.status;
  response.set_content(reply.body, ContentType);
  if (reply.status == 405) response.set_header("Allow", "GET, HEAD");
}

void LogExchange(const httplib::Request& request, const httplib::Response& response) {
  WriteLogLine(FormatAccessLine({request.remote_addr, request.method, request.target,
                                 request.version, response.status, response.body.size()},
                                std::time(nullptr)));
}

}  // namespace

HttpFrontend::ListeningServer::ListeningServer()
    : stop_event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HttpFrontend::ListeningServer::~ListeningServer() { ::close(stop_event_); }

void HttpFrontend::ListeningServer::WidenListenBacklog(int backlog) {
  ::listen(svr_sock_, backlog);
}

void HttpFrontend::ListeningServer::WakeIdleConnections() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(stop_event_, &one, sizeof one);
}

bool HttpFrontend::ListeningServer::process_and_close_socket(socket_t socket) {
  ServeConnection(socket);
  ::shutdown(socket, SHUT_RDWR);
  ::close(socket);
  return true;
}

void HttpFrontend::ListeningServer::ServeConnection(int socket) {
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // no 40 ms ACK waits
  BoundedSocketStream stream(socket, ConnectionLimits);
  for (std::size_t served = 0; served < KeepAliveRequests; ++served) {
    if (!stream.HasBufferedBytes() && !WaitForNextRequest(socket)) return;
    stream.BeginRequest();
    bool client_closes = false;
    bool trustworthy = false;  // stays false when httplib could not parse the request
    const bool last = served + 1 == KeepAliveRequests;
    const bool answered = process_request(stream, last, client_closes, [&](httplib::Request& request) {
      trustworthy = !HasBody(request);
    });
    // After a refused or unparsable request, the bytes that follow may be anything.
    if (!answered || client_closes || !trustworthy || stream.ReadFailed()) return;
  }
}

// False on idle timeout, hang-up or when the server stops.
bool HttpFrontend::ListeningServer::WaitForNextRequest(int socket) const {
  std::array<pollfd, 2> watched{pollfd{socket, POLLIN, 0}, pollfd{stop_event_, POLLIN, 0}};
  int ready = 0;
  do {
    ready = ::poll(watched.data(), watched.size(), KeepAliveMilliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && watched[1].revents == 0 && (watched[0].revents & POLLIN) != 0;
}

HttpFrontend::HttpFrontend(HighscoreService& service, std::size_t threads)
    : service_(service) {
  ConfigureServer(threads);
}

void HttpFrontend::ConfigureServer(std::size_t threads) {
  server_.new_task_queue = [threads] {
    return new BoundedThreadPool(threads, threads * WaitingConnectionsPerThread);
  };
  // Every request goes to the service, whatever its method; no pattern matching.
  server_.set_pre_routing_handler([this](const httplib::Request& request,
                                         httplib::Response& response) {
    Respond(request, response);
    return httplib::Server::HandlerResponse::Handled;
  });
  // Refusals made by httplib itself (bad request line, oversized target) get a reason too.
  server_.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        SetReply(response, RefuseRequest(response.status, ReasonForStatus(response.status)));
        return httplib::Server::HandlerResponse::Handled;
      }));
  server_.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
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
  const int bound = port == 0 ? server_.bind_to_any_port(host)
                              : (server_.bind_to_port(host, port) ? port : -1);
  if (bound > 0) server_.WidenListenBacklog(ListenBacklog);
  return bound;
}

bool HttpFrontend::Run() {
  const bool served = server_.listen_after_bind();
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
  server_.WakeIdleConnections();
}

}  // namespace zorblet::server
