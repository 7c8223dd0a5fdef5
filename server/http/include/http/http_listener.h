#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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
    // Where set, the largest body of a request with this method and target instead; a
    // body must then come with its Content-Length (411 otherwise), and a larger one is
    // refused 413 before it is read.
    std::function<std::size_t(std::string_view method, std::string_view target)> body_limit = nullptr;
    // Bytes of bodies held at once over all connections, from a body's head to the end of
    // its request; a body that would pass it is refused 503 with Retry-After before it is
    // read, so that memory stays bounded however many clients send at once. 0: no bound.
    std::size_t held_body_budget = 0;
    // How the refusals of a body (411, 413, 503) are worded for a request (its method,
    // target and address); plain text where empty or nullopt.
    std::function<std::optional<Reply>(const Request&, int status)> refuse_body = nullptr;
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
// read differently (see CheckRequestHead). A handler may defer its reply (Request::defer):
// the connection is suspended until the reply is given, holding no thread.
class HttpListener {
public:
    // Takes over `listening_socket` (bound and listening); throws std::runtime_error
    // when the library cannot start.
    HttpListener(int listening_socket, RequestHandler handler, ListenerSettings settings);
    ~HttpListener();  // stops
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Stops accepting, ends the requests being answered and closes every connection;
    // a deferred reply not given by then is given as 503.
    void Stop();

    // Callbacks the library calls; public only for its C entry points.
    struct RequestState;
    struct ServedConnection;
    class Deferral;
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
    int CheckBody(const Exchange& exchange);
    int RefuseBody(const Exchange& exchange, int status);
    int ReadBody(RequestState& state, const char* upload, std::size_t* upload_size);
    // The deferred reply once given (and the request then over), or the connection held.
    int AnswerDeferred(const Exchange& exchange);
    std::shared_ptr<PendingReply> Defer(RequestState& state);
    void Forget(const std::shared_ptr<Deferral>& deferral);
    void GiveUpOutstanding();
    // Answers with `status` and closes; `reason` empty: the status's usual one.
    int Refuse(const Exchange& exchange, int status, std::string_view reason = {});
    void Observe(const Request& request, const Reply& reply, const RequestState& state) const;
    static const std::string& AddressOf(MHD_Connection* connection);
    void CloseConnection(ServedConnection& served);

    const RequestHandler handler_;
    const ListenerSettings settings_;
    const int listening_socket_;
    MHD_Daemon* daemon_ = nullptr;
    std::atomic<std::size_t> held_body_bytes_{0};
    // Deferred replies not yet sent: Stop gives them and waits until they are.
    std::mutex outstanding_mutex_;
    std::condition_variable outstanding_sent_;
    std::set<std::shared_ptr<Deferral>> outstanding_;
};

// The inactivity time-out of every listener: a connection silent this long is closed.
inline constexpr std::chrono::seconds IdleTimeout{5};
// A body still not whole this long after its request began is cut off with its connection:
// a client that sends a byte now and then cannot hold its share of the bodies' budget.
inline constexpr std::chrono::seconds BodyTimeout{60};
// How long Stop waits for deferred replies to go out.
inline constexpr std::chrono::seconds DeferredDrainTimeout{5};

}  // namespace zorblet::server
