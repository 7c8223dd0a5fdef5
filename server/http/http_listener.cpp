#include "http/http_listener.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <linux/sockios.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "http/access_log.h"
#include "http/request_head.h"

namespace zorblet::server {

namespace {

using Clock = std::chrono::steady_clock;

// Longer targets are refused with 414, longer header lines and heads with 400.
constexpr std::size_t MaxTargetBytes = 8 * 1024;
constexpr std::size_t MaxHeaderLineBytes = 8 * 1024;
constexpr std::size_t MaxHeadBytes = 16 * 1024;
// Each connection's fixed memory: its request head and the head of its answer. A head
// that does not fit is refused by the library itself (414 or 431).
constexpr std::size_t ConnectionMemory = 48 * 1024;
// Connections the library may hold beyond a registry's slots: those on their way out.
constexpr unsigned int SlotsOnTheirWayOut = 256;
// Said with every answer on a connection that stays open.
constexpr const char* KeepAliveValue = "timeout=5, max=5";

std::string_view ReasonForStatus(int status) {
    switch (status) {
        case 400:
            return "bad request";
        case 413:
            return "requests take no body";
        case 414:
            return "request target too long";
        default:
            return "request refused";
    }
}

// Said on every answer: browsers take each one as the type it names, never as a guess.
constexpr const char* NoSniffHeader = "X-Content-Type-Options";

std::string DescribeAddress(const sockaddr* address) {
    if (address == nullptr || address->sa_family == AF_UNIX) return "local";
    std::array<char, NI_MAXHOST> host{};
    const socklen_t length = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (getnameinfo(address, length, host.data(), host.size(), nullptr, 0, NI_NUMERICHOST) != 0) return "-";
    return host.data();
}

// Whether a comma-separated header value lists `token`, ignoring case.
bool HasToken(std::string_view list, std::string_view token) {
    const auto same = [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; };
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string_view item = list.substr(start, comma - start);
        item.remove_prefix(std::min(item.find_first_not_of(" \t"), item.size()));
        item = item.substr(0, item.find_last_not_of(" \t") + 1);
        if (std::equal(item.begin(), item.end(), token.begin(), token.end(), same)) return true;
        start = comma + 1;
    }
    return false;
}

bool ClientWantsClose(MHD_Connection* connection, const char* version) {
    if (std::string_view(version) != MHD_HTTP_VERSION_1_1) return true;  // the library keeps only 1.1 alive
    const char* header = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONNECTION);
    return header != nullptr && HasToken(header, "close");
}

bool HasBody(MHD_Connection* connection) {
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr ||
           (length != nullptr && std::string_view(length) != "0");
}

// A header field where the library holds it: name and value point into the request's
// head, one line after another, with the library's NULs where the colon and the line ends
// were.
struct HeldField {
    const char* name;
    const char* value;
};

MHD_Result CollectField(void* fields, MHD_ValueKind, const char* key, const char* value) {
    static_cast<std::vector<HeldField>*>(fields)->push_back({key, value != nullptr ? value : ""});
    return MHD_YES;
}

std::vector<HeldField> CollectFields(MHD_Connection* connection) {
    std::vector<HeldField> fields;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectField, &fields);
    return fields;
}

std::size_t HeadSize(MHD_Connection* connection) {
    const MHD_ConnectionInfo* size = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
    return size != nullptr ? size->header_size : 0;
}

bool HeadTooLarge(std::size_t head_size, const std::vector<HeldField>& fields) {
    if (head_size > MaxHeadBytes) return true;
    return std::any_of(fields.begin(), fields.end(), [](const HeldField& field) {
        return std::strlen(field.name) + 2 + std::strlen(field.value) > MaxHeaderLineBytes;
    });
}

// The library reads the head in one buffer and hands out C strings into it. Its parts
// lie in order, from the request line (at `method`) to the end of the head: what the
// client sent after a NUL lies there too, between a part's end and the next part.
class HeldHead {
public:
    HeldHead(const char* method, std::size_t size)
        : begin_(reinterpret_cast<std::uintptr_t>(method)), end_(begin_ + size) {}

    // Bytes from `part` to `next` (or the head's end); 0 when they are not in order within
    // the head, as with a folded field, which the library copies elsewhere.
    std::size_t Span(const char* part, const char* next) const {
        const auto from = reinterpret_cast<std::uintptr_t>(part);
        const std::uintptr_t to = next != nullptr ? reinterpret_cast<std::uintptr_t>(next) : end_;
        return begin_ <= from && from <= to && to <= end_ ? to - from : 0;
    }

    // Whether a line went on after a NUL: anything but NULs (the library's line ends)
    // between the end of `value` and the next field.
    bool HidesBytes(const char* value, const char* next) const {
        const std::size_t shown = std::strlen(value);
        const std::size_t span = Span(value, next);
        return span > shown && std::any_of(value + shown, value + span, [](char c) { return c != '\0'; });
    }

private:
    const std::uintptr_t begin_;
    const std::uintptr_t end_;
};

RequestHead DescribeHead(const HeldHead& held, const std::vector<HeldField>& fields, std::string_view target,
                         const char* sent_target, const char* version) {
    RequestHead head;
    head.target = target;
    // The target ends with the space before the version.
    const std::size_t span = held.Span(sent_target, version);
    head.sent_target_size = span > 0 ? span - 1 : target.size();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const char* next = i + 1 < fields.size() ? fields[i + 1].name : nullptr;
        head.fields.push_back({fields[i].name, fields[i].value, held.HidesBytes(fields[i].value, next)});
    }
    return head;
}

// Bytes the kernel holds for a client that has not taken them.
int CountUnsentBytes(int socket) {
    int unsent = 0;
    return ::ioctl(socket, SIOCOUTQ, &unsent) == 0 ? unsent : 0;
}

// What a client does to its own connection, which the library reports: noise in a log.
bool IsClientsDoing(std::string_view message) {
    constexpr std::array<std::string_view, 6> ClientEvents{
        "Error processing request",          "Connection was closed by remote side",
        "Connection socket is closed when reading", "The connection was forcibly closed",
        "detected connection closure",       "Not enough memory in pool"};
    return std::any_of(ClientEvents.begin(), ClientEvents.end(),
                       [&](std::string_view event) { return message.starts_with(event); });
}

// The library's own messages: its refusals at the connection limit are counted, what
// clients do to their connections dropped, anything else logged, at most one line a
// second so that a flood cannot flood the log.
void LogLibraryMessage(void* registry, const char* format, va_list arguments) {
    std::array<char, 512> message{};
    std::vsnprintf(message.data(), message.size(), format, arguments);
    const std::string_view text(message.data());
    if (text.starts_with("Server reached connection limit") || text.starts_with("Hit process or system resource")) {
        if (registry != nullptr) static_cast<ConnectionRegistry*>(registry)->CountEvent(ConnectionEvent::GlobalCap);
    }
    if (IsClientsDoing(text)) return;
    static std::atomic<std::time_t> last_logged{0};
    const std::time_t now = std::time(nullptr);
    if (last_logged.exchange(now) == now) return;
    WriteLogLine("zorblet-highscore-server: " + std::string(text.substr(0, text.find_last_not_of('\n') + 1)) + "\n");
}

HttpListener& ListenerOf(void* context) {
    return *static_cast<HttpListener*>(context);
}

MHD_Result OnAccept(void* context, const sockaddr* address, socklen_t) {
    return ListenerOf(context).AdmitConnection(address) ? MHD_YES : MHD_NO;
}

void OnConnection(void* context, MHD_Connection* connection, void** socket_context,
                  MHD_ConnectionNotificationCode code) {
    ListenerOf(context).NoteConnection(connection, socket_context, code == MHD_CONNECTION_NOTIFY_STARTED);
}

void* OnRequestLine(void* context, const char* target, MHD_Connection* connection) {
    return ListenerOf(context).BeginRequest(target, connection);
}

MHD_Result OnCall(void* context, MHD_Connection* connection, const char*, const char* method, const char* version,
                  const char* upload, std::size_t* upload_size, void** request_context) {
    return static_cast<MHD_Result>(
        ListenerOf(context).HandleCall(connection, method, version, upload, upload_size, request_context));
}

void OnRequestEnd(void* context, MHD_Connection* connection, void** request_context, MHD_RequestTerminationCode) {
    ListenerOf(context).EndRequest(connection, request_context);
}

}  // namespace

struct HttpListener::RequestState {
    std::string target;
    const char* sent_target = nullptr;  // where the library holds it, to measure what was sent
    std::string body;
    Clock::time_point started = Clock::now();
    bool head_checked = false;
    bool body_too_large = false;
    bool answered = false;  // by this listener, not by the library itself
};

// A connection as this listener serves it. The request being read or answered belongs to
// the connection: the library reports the end of most requests, but not of every one it
// gives up on, while it reports the end of every connection.
struct HttpListener::ServedConnection {
    TrackedConnection tracked;
    std::unique_ptr<RequestState> request;
};

namespace {

HttpListener::ServedConnection* ConnectionOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info == nullptr ? nullptr : static_cast<HttpListener::ServedConnection*>(info->socket_context);
}

// The library would split the query into a list of arguments in the connection's fixed
// memory; a query of many short arguments runs out of it, and the library then neither
// answers nor reports the end of the request. The service reads queries from the target
// it keeps, so the library's own copy, in its buffer, is ended at the "?": it hands the
// target over before it splits the query, and then finds nothing to split.
void DropLibrarysQuery(const char* target) {
    if (const char* question = std::strchr(target, '?')) const_cast<char*>(question)[1] = '\0';
}

TrackedConnection* TrackedOf(MHD_Connection* connection) {
    HttpListener::ServedConnection* served = ConnectionOf(connection);
    return served != nullptr ? &served->tracked : nullptr;
}

}  // namespace

HttpListener::HttpListener(int listening_socket, RequestHandler handler, ListenerSettings settings)
    : handler_(std::move(handler)), settings_(std::move(settings)), listening_socket_(listening_socket) {
    const unsigned int limit =
        static_cast<unsigned int>(settings_.registry != nullptr ? settings_.registry->slots() : 64) +
        SlotsOnTheirWayOut;
    std::vector<MHD_OptionItem> options{
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(LogLibraryMessage), settings_.registry},
        {MHD_OPTION_LISTEN_SOCKET, listening_socket, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, limit, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(IdleTimeout.count()), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(ConnectionMemory), nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(OnConnection), this},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(OnRequestEnd), this},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(OnRequestLine), this},
        // -1 refuses a blank before a field's colon, with one 400, and is otherwise lenient:
        // HTTP/1.1 requests without Host are answered. 1 would close on a blank in the target
        // without a word, and send its 400 for a missing Host twice; no level refuses what
        // CheckRequestHead does.
        {MHD_OPTION_STRICT_FOR_CLIENT, -1, nullptr},
    };
    if (settings_.threads > 1) {
        options.push_back({MHD_OPTION_THREAD_POOL_SIZE, static_cast<intptr_t>(settings_.threads), nullptr});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    daemon_ = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG, 0, OnAccept, this, OnCall, this,
                               MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (daemon_ == nullptr) {
        ::close(listening_socket);
        throw std::runtime_error("cannot start serving HTTP");
    }
}

HttpListener::~HttpListener() {
    Stop();
}

void HttpListener::Stop() {
    if (daemon_ == nullptr) return;
    MHD_stop_daemon(daemon_);  // closes the listening socket too
    daemon_ = nullptr;
}

bool HttpListener::AdmitConnection(const void* address) {
    if (settings_.registry == nullptr) return true;
    const std::optional<ClientAddress> client = ToClientAddress(static_cast<const sockaddr*>(address));
    return client && settings_.registry->Admit(*client);
}

void HttpListener::NoteConnection(MHD_Connection* connection, void** context, bool started) {
    if (!started) {
        if (*context != nullptr) CloseConnection(*static_cast<ServedConnection*>(*context));
        *context = nullptr;
        return;
    }
    auto* served = new ServedConnection();
    TrackedConnection& tracked = served->tracked;
    const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    tracked.socket = fd != nullptr ? fd->connect_fd : -1;
    const sockaddr* client = address != nullptr ? address->client_addr : nullptr;
    const std::optional<ClientAddress> client_address = ToClientAddress(client);
    tracked.address = client_address.value_or(ClientAddress{});
    tracked.address_text = DescribeAddress(client);
    tracked.limit_key = client_address ? DescribeLimitKey(*client_address) : tracked.address_text;
    tracked.opened = Clock::now();
    tracked.waiting_since = TicksNow();
    if (settings_.registry != nullptr) settings_.registry->Track(tracked);
    *context = served;
}

// A connection silent for the whole time-out is closed by the library; one that still
// holds an answer its client never took is reset, so that the kernel does not keep the
// data for a peer that does not read.
void HttpListener::CloseConnection(ServedConnection& served) {
    TrackedConnection& connection = served.tracked;
    const std::int64_t last = std::max(connection.waiting_since.load(), connection.last_answer.load());
    const bool timed_out = !connection.evicted && TicksNow() - last >= std::chrono::nanoseconds(IdleTimeout).count();
    if (timed_out && CountUnsentBytes(connection.socket) > 0) {
        const linger reset{1, 0};
        ::setsockopt(connection.socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    if (settings_.registry != nullptr) {
        if (timed_out) settings_.registry->CountEvent(ConnectionEvent::TimedOut);
        settings_.registry->Release(connection);
    }
    delete &served;
}

void* HttpListener::BeginRequest(const char* target, MHD_Connection* connection) {
    ServedConnection* served = ConnectionOf(connection);
    if (served == nullptr) return nullptr;
    served->request = std::make_unique<RequestState>();  // frees one whose end went unreported
    served->request->target = target;
    served->request->sent_target = target;
    DropLibrarysQuery(target);
    return served->request.get();
}

// A request the library answered itself (a head too large for the connection's memory,
// a malformed head) still gets its access-log line and is counted.
void HttpListener::EndRequest(MHD_Connection* connection, void** request_context) {
    *request_context = nullptr;
    ServedConnection* served = ConnectionOf(connection);
    if (served == nullptr || !served->request) return;
    const RequestState& state = *served->request;
    const MHD_ConnectionInfo* status = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS);
    if (!state.answered && status != nullptr && status->http_status != 0) {
        const int code = static_cast<int>(status->http_status);
        if (settings_.log_requests) {
            WriteLogLine(FormatAccessLine({AddressOf(connection), "-", state.target, "-", code, 0}, std::time(nullptr)));
        }
        Reply reply;
        reply.status = code;
        Observe({"-", state.target, {}, AddressOf(connection)}, reply, state);
    }
    served->request.reset();
}

int HttpListener::HandleCall(MHD_Connection* connection, const char* method, const char* version,
                             const char* upload, std::size_t* upload_size, void** request_context) {
    auto* state = static_cast<RequestState*>(*request_context);
    if (state == nullptr) return MHD_NO;
    if (!state->head_checked) {
        state->head_checked = true;
        if (TrackedConnection* tracked = TrackedOf(connection)) tracked->answering = true;
        return CheckHead({connection, *state, method, version});  // answered on the last call, after any body
    }
    if (*upload_size > 0) {
        state->body_too_large = state->body_too_large || state->body.size() + *upload_size > settings_.max_body_bytes;
        if (!state->body_too_large) state->body.append(upload, *upload_size);
        *upload_size = 0;
        return MHD_YES;
    }
    const Exchange exchange{connection, *state, method, version};
    if (state->body_too_large) return Refuse(exchange, 413);
    const char* if_none_match =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
    const TrackedConnection* tracked = TrackedOf(connection);
    const Request request{method, state->target, state->body, AddressOf(connection),
                          if_none_match != nullptr ? if_none_match : "",
                          tracked != nullptr ? std::string_view(tracked->limit_key) : std::string_view()};
    const Reply reply = handler_(request);
    const int queued = Respond(exchange, reply, ClientWantsClose(connection, version));
    Observe(request, reply, *state);
    return queued;
}

// Refuses what is no request the handler could answer, before its body is read.
int HttpListener::CheckHead(const Exchange& exchange) {
    MHD_Connection* connection = exchange.connection;
    const std::size_t head_size = HeadSize(connection);
    const std::vector<HeldField> fields = CollectFields(connection);
    const RequestHead head = DescribeHead(HeldHead(exchange.method, head_size), fields, exchange.state.target,
                                          exchange.state.sent_target, exchange.version);
    if (const std::optional<HeadRefusal> refusal = CheckRequestHead(head)) {
        return Refuse(exchange, refusal->status, refusal->reason);
    }
    if (exchange.state.target.size() > MaxTargetBytes) return Refuse(exchange, 414);
    if (HeadTooLarge(head_size, fields)) return Refuse(exchange, 400);
    // Never read where none is taken: the connection closes after the answer.
    if (HasBody(connection) && settings_.max_body_bytes == 0) return Refuse(exchange, 413);
    return MHD_YES;
}

int HttpListener::Refuse(const Exchange& exchange, int status, std::string_view reason) {
    const Reply reply = RefuseRequest(status, reason.empty() ? ReasonForStatus(status) : reason);
    const int queued = Respond(exchange, reply, true);
    Observe({exchange.method, exchange.state.target, {}, AddressOf(exchange.connection)}, reply, exchange.state);
    return queued;
}

void HttpListener::Observe(const Request& request, const Reply& reply, const RequestState& state) const {
    if (settings_.observe) settings_.observe(request, reply, Clock::now() - state.started);
}

const std::string& HttpListener::AddressOf(MHD_Connection* connection) {
    static const std::string unknown = "-";
    const TrackedConnection* tracked = TrackedOf(connection);
    return tracked != nullptr ? tracked->address_text : unknown;
}

int HttpListener::Respond(const Exchange& exchange, const Reply& reply, bool close) {
    MHD_Connection* connection = exchange.connection;
    exchange.state.answered = true;
    if (settings_.log_requests) {
        // A 304 names the length of the body it stands for, and sends none.
        const std::size_t sent = reply.status == 304 ? 0 : reply.body.size();
        WriteLogLine(FormatAccessLine(
            {AddressOf(connection), exchange.method, exchange.state.target, exchange.version, reply.status, sent},
            std::time(nullptr)));
    }
    MHD_Response* response = MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()),
                                                              MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    if (!reply.allow.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, reply.allow.c_str());
    for (const auto& [name, value] : reply.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
    const bool says_nosniff = std::any_of(reply.headers.begin(), reply.headers.end(),
                                          [](const auto& header) { return header.first == NoSniffHeader; });
    if (!says_nosniff) MHD_add_response_header(response, NoSniffHeader, "nosniff");
    if (close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.content_type.c_str());
    if (!close) MHD_add_response_header(response, "Keep-Alive", KeepAliveValue);
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned int>(reply.status), response);
    MHD_destroy_response(response);
    if (TrackedConnection* tracked = TrackedOf(connection)) {
        const std::int64_t now = TicksNow();
        tracked->last_answer = now;
        tracked->waiting_since = now;
        tracked->answering = false;
    }
    return queued;
}

}  // namespace zorblet::server
