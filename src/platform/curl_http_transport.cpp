#include "platform/curl_http_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/reply_body.h"

namespace zorblet::platform {

namespace {

// The agent name the highscore service has always seen from the game.
constexpr const char* UserAgent = "PB@INET";

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

using Steady = std::chrono::steady_clock;

// How often a transfer looks whether the program is ending.
constexpr int CancelWatchMs = 20;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

struct Transfer {
    explicit Transfer(bool binary) : Body(HttpTransport::MaxBodyBytes, binary) {}
    ReplyBody Body;
    bool Connected = false;
    curl_off_t Moved = 0;  // bytes sent and received so far
    Steady::time_point LastArrival;
    bool Idled = false;
};

std::size_t TakeBodyBytes(char* data, std::size_t size, std::size_t count, void* transfer) {
    return static_cast<Transfer*>(transfer)->Body.Take({data, size * count});
}

// libcurl calls this once the connection stands, just before the request goes out.
int NoteConnection(void* transfer, char*, char*, int, int) {
    auto& t = *static_cast<Transfer*>(transfer);
    t.Connected = true;
    t.LastArrival = Steady::now();
    return CURL_PREREQFUNC_OK;
}

// libcurl's low-speed limit averages over several seconds, so a server that stops after a
// burst would hold the game for most of its budget; this cuts a silence short. A body on
// its way up counts as traffic as much as the answer coming down.
int AbortWhenIdle(void* transfer, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto& t = *static_cast<Transfer*>(transfer);
    if (!t.Connected) return 0;
    const Steady::time_point now = Steady::now();
    if (received + sent != t.Moved) {
        t.Moved = received + sent;
        t.LastArrival = now;
    }
    t.Idled = now - t.LastArrival >= std::chrono::milliseconds(CurlHttpTransport::IdleTimeoutMs);
    return t.Idled ? 1 : 0;
}

// Caches and proxies on the way must not answer for the server: every reply is fresh. A
// POST says what its body is (libcurl would call it a form otherwise), and sends it at once
// instead of asking with "Expect: 100-continue" first, which costs a second when a server
// does not answer that.
HeaderList MakeHeaders(const HttpRequest& request) {
    curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
    list = curl_slist_append(list, "Pragma: no-cache");
    if (request.Method == HttpMethod::Post) {
        // "Content-Type:" alone keeps libcurl from sending one.
        const std::string type = request.ContentType.empty() ? "" : " " + request.ContentType;
        list = curl_slist_append(list, ("Content-Type:" + type).c_str());
        list = curl_slist_append(list, "Expect:");
    }
    return HeaderList(list);
}

void SetMethod(CURL* easy, const HttpRequest& request) {
    if (request.Method == HttpMethod::Get) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        return;
    }
    // The body is sent as it is, NUL bytes and all; the request keeps it until the end.
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.Body.data());
}

void SetRequest(CURL* easy, const HttpRequest& request, const curl_slist* headers) {
    curl_easy_setopt(easy, CURLOPT_URL, request.Url.c_str());
    SetMethod(easy, request);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // An empty proxy means a direct connection, whatever http_proxy and friends say.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
}

void SetLimits(CURL* easy, int budgetMs) {
    // Worker threads must not get signals from libcurl's resolver time-outs.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min(budgetMs, CurlHttpTransport::ConnectTimeoutMs)));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(budgetMs));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(CurlHttpTransport::LowSpeedBytesPerSecond));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(CurlHttpTransport::LowSpeedSeconds));
}

void SetReceivers(CURL* easy, Transfer& transfer) {
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, TakeBodyBytes);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, NoteConnection);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, AbortWhenIdle);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
}

int ReadStatus(CURL* easy) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return static_cast<int>(status);
}

// curl_easy_perform, but given up within CancelWatchMs once the transport is cancelled.
CURLcode Perform(CURL* easy, const HttpTransport& transport) {
    const MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int running = 1;
    while (running > 0 && !transport.Cancelled()) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
        if (running > 0) curl_multi_poll(multi.get(), nullptr, 0, CancelWatchMs, nullptr);
    }
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

}  // namespace

void InitHttp() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

HttpAttempt CurlHttpTransport::Get(const std::string& url, int budgetMs) {
    return Send(GetRequest(url), budgetMs);
}

HttpAttempt CurlHttpTransport::Send(const HttpRequest& request, int budgetMs) {
    HttpAttempt attempt;
    // libcurl reads a time-out of 0 as "none at all".
    if (budgetMs <= 0 || Cancelled() || request.Body.size() > MaxUploadBytes) return attempt;
    const EasyHandle easy(curl_easy_init());
    if (!easy) return attempt;
    const HeaderList headers = MakeHeaders(request);
    Transfer transfer(request.BinaryReply);
    SetRequest(easy.get(), request, headers.get());
    SetLimits(easy.get(), budgetMs);
    SetReceivers(easy.get(), transfer);

    const CURLcode result = Perform(easy.get(), *this);
    attempt.Connected = transfer.Connected;
    attempt.Status = ReadStatus(easy.get());
    attempt.Body = std::move(transfer.Body.Text());
    attempt.TimedOut = transfer.Connected && (result == CURLE_OPERATION_TIMEDOUT || transfer.Idled);
    return attempt;
}

}  // namespace zorblet::platform
