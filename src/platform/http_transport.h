#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace zorblet::platform {

// What one GET attempt came to.
struct HttpAttempt {
    // A connection to the server was made and the request went out.
    bool Connected = false;
    // The status of the server's answer; 0 when no status line arrived.
    int Status = 0;
    // What arrived of the body, whatever the status: at most the first MaxBodyBytes bytes,
    // with NUL bytes dropped, since the game's texts end at a NUL.
    std::string Body;
    // After the connection was made, the attempt was cut off for time: the budget ran out
    // or the server sent too slowly. A failed connect is not a time-out here.
    bool TimedOut = false;
};

// The game's way to the network: one HTTP GET, no retries. Tests replace it.
class HttpTransport {
public:
    static constexpr std::size_t MaxBodyBytes = 1 << 20;

    virtual ~HttpTransport() = default;
    // One GET of url, used as given, that returns within about budgetMs milliseconds.
    virtual HttpAttempt Get(const std::string& url, int budgetMs) = 0;

    // Its user is going: a running Get gives up within a few milliseconds, later ones at
    // once, none with an answer, until Resume. Any thread may call them.
    void Cancel() { cancelled_ = true; }
    void Resume() { cancelled_ = false; }
    bool Cancelled() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace zorblet::platform
