#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "http/connection_registry.h"
#include "http/request.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace zorblet::server {

struct ListenerSettings {
    std::size_t threads = 1;
    // Largest request body taken, in bytes; 0 refuses every body with 413.
    std::size_t max_body_bytes = 0;
    // One access-log line per request on stderr.
    bool log_requests = true;
    // Counts and caps the connections; none for a listener only operators reach.
    ConnectionRegistry* registry = nullptr;
    // Called with each request's reply and how long answering took.
    std::function<void(const Request&, const Reply&, std::chrono::nanoseconds)> observe;
};

// One listening socket served by GNU libmicrohttpd: epoll, a fixed number of threads
// however many clients connect, a memory limit and an inactivity time-out per
// connection. Every request goes to the handler, whatever its method and path; the
// listener itself refuses only what is not a request the handler could answer: a body
// where none is taken, an oversized target or head, a head that a proxy in front could
// read differently (see CheckRequestHead).
class HttpListener {
public:
    // Takes over `listening_socket` (bound and listening); throws std::runtime_error
    // when the library cannot start.
    HttpListener(int listening_socket, RequestHandler handler, ListenerSettings settings);
    ~HttpListener();  // stops
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Stops accepting, ends the requests being answered and closes every connection.
    void Stop();

    // Callbacks the library calls; public only for its C entry points.
    struct RequestState;
    struct ServedConnection;
    bool AdmitConnection(const void* address);
    void NoteConnection(MHD_Connection* connection, void** context, bool started);
    void* BeginRequest(const char* target, MHD_Connection* connection);
    int HandleCall(MHD_Connection* connection, const char* method, const char* version, const char* upload,
                   std::size_t* upload_size, void** request_context);
    void EndRequest(MHD_Connection* connection, void** request_context);

private:
    // One request being answered, as the library hands it over.
    struct Exchange {
        MHD_Connection* connection;
        RequestState& state;
        const char* method;
        const char* version;
    };

    // Queues the answer and logs it; `close` ends the connection after it.
    int Respond(const Exchange& exchange, const Reply& reply, bool close);
    int CheckHead(const Exchange& exchange);
    // Answers with `status` and closes; `reason` empty: the status's usual one.
    int Refuse(const Exchange& exchange, int status, std::string_view reason = {});
    void Observe(const Request& request, const Reply& reply, const RequestState& state) const;
    static const std::string& AddressOf(MHD_Connection* connection);
    void CloseConnection(ServedConnection& served);

    const RequestHandler handler_;
    const ListenerSettings settings_;
    const int listening_socket_;
    MHD_Daemon* daemon_ = nullptr;
};

// The inactivity time-out of every listener: a connection silent this long is closed.
inline constexpr std::chrono::seconds IdleTimeout{5};

}  // namespace zorblet::server
