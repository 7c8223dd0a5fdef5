#include "http_frontend.h"

#include <sys/socket.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <exception>

#include "access_log.h"
#include "bounded_thread_pool.h"

namespace zorblet::server {

namespace {

constexpr const char* ContentType = "text/plain; charset=windows-1252";
constexpr int ListenBacklog = 1024;
constexpr std::size_t WaitingConnectionsPerThread = 4;
constexpr time_t ReadTimeoutSeconds = 5;
constexpr time_t WriteTimeoutSeconds = 5;
constexpr time_t KeepAliveSeconds = 5;
constexpr std::size_t KeepAliveRequests = 1000;
// The game sends no body; anything beyond a few bytes is not a highscore request.
constexpr std::size_t MaxBodyBytes = 1024;

std::string_view ReasonForStatus(int status) {
  switch (status) {
    case 400: return "bad request";
    case 404: return "not found";
    case 413: return "request body too large";
    case 414: return "request target too long";
    case 500: return "internal error";
    default: return "request refused";
  }
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

void HttpFrontend::ListeningServer::WidenListenBacklog(int backlog) {
  ::listen(svr_sock_, backlog);
}

HttpFrontend::HttpFrontend(HighscoreService& service, std::size_t threads)
    : service_(service) {
  ConfigureServer(threads);
}

void HttpFrontend::ConfigureServer(std::size_t threads) {
  server_.new_task_queue = [threads] {
    return new BoundedThreadPool(threads, threads * WaitingConnectionsPerThread);
  };
  server_.set_tcp_nodelay(true);
  server_.set_read_timeout(ReadTimeoutSeconds);
  server_.set_write_timeout(WriteTimeoutSeconds);
  server_.set_keep_alive_timeout(KeepAliveSeconds);
  server_.set_keep_alive_max_count(KeepAliveRequests);
  server_.set_payload_max_length(MaxBodyBytes);
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
}

}  // namespace zorblet::server
