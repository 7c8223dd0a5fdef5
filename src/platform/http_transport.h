#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zorblet::platform {

enum class HttpMethod : std::uint8_t { Get, Post };

// One request: a GET, or a POST with a body.
struct HttpRequest {
    HttpMethod Method = HttpMethod::Get;
    std::string Url;          // used as given
    std::string ContentType;  // of a POST's body; none sent when empty
    std::string Body;         // a POST's, sent byte for byte; at most MaxUploadBytes
    bool BinaryReply = false;  // the reply's body byte for byte, NUL bytes too (a record, not a text)
};

inline HttpRequest GetRequest(std::string url, bool binaryReply = false) {
    HttpRequest request;
    request.Url = std::move(url);
    request.BinaryReply = binaryReply;
    return request;
}

inline HttpRequest PostRequest(std::string url, std::string contentType = {}, std::string body = {}) {
    HttpRequest request;
    request.Method = HttpMethod::Post;
    request.Url = std::move(url);
    request.ContentType = std::move(contentType);
    request.Body = std::move(body);
    return request;
}

// What one attempt came to.
struct HttpAttempt {
    // A connection to the server was made and the request went out.
    bool Connected = false;
    // The status of the server's answer; 0 when no status line arrived.
    int Status = 0;
    // What arrived of the body, whatever the status: at most the first MaxBodyBytes bytes,
    // with NUL bytes dropped (the game's texts end at a NUL) unless the request asked for
    // a binary reply.
    std::string Body;
    // After the connection was made, the attempt was cut off for time: the budget ran out
    // or the server sent too slowly. A failed connect is not a time-out here.
    bool TimedOut = false;
};

// The game's way to the network: one HTTP request, no retries. Tests replace it.
class HttpTransport {
public:
    static constexpr std::size_t MaxBodyBytes = 1 << 20;
    static constexpr std::size_t MaxUploadBytes = 1 << 20;

    virtual ~HttpTransport() = default;
    // One GET of url, used as given, that returns within about budgetMs milliseconds.
    virtual HttpAttempt Get(const std::string& url, int budgetMs) = 0;
    // Any request, within about budgetMs milliseconds. A transport that only knows GET
    // (a stand-in of a test) makes no connection for a POST.
    virtual HttpAttempt Send(const HttpRequest& request, int budgetMs) {
        if (request.Method == HttpMethod::Get) return Get(request.Url, budgetMs);
        return {};
    }

    // Its user is going: a running request gives up within a few milliseconds, later ones
    // at once, none with an answer, until Resume. Any thread may call them.
    void Cancel() { cancelled_ = true; }
    void Resume() { cancelled_ = false; }
    bool Cancelled() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace zorblet::platform
