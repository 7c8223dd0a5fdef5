#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/http_transport.h"

namespace zorblet::highscore {

// The message the highscore screen shows after a failed transfer (Windows-1252).
inline constexpr std::string_view TransferErrorText =
    "Daten\xFC"
    "bertragung nicht m\xF6"
    "glich!";

// Connection attempts per call, the pause after each failed one, and the bound on the
// whole call, retries included.
inline constexpr int FetchAttempts = 10;
inline constexpr int FetchRetryPauseMs = 300;
inline constexpr int FetchBudgetMs = 10'000;

// How a fetch ended, for a caller that has to decide whether to send a submission again.
enum class FetchOutcome {
    // The server answered, with any status, and its reply ended: it has the request.
    Answered,
    // No attempt brought an answer and none ran out of time: the server was refused,
    // unreachable, or hung up without a word.
    NoConnection,
    // Time ran out: the call's budget, or a server that went silent or too slow. The
    // request may have reached the server; Status tells whether it began to answer.
    TimedOut,
};

struct FetchResult {
    // The reply body as Windows-1252 bytes; on failure empty, or what arrived before time ran out.
    std::string Body;
    // The HTTP status of the answer; 0 when none came.
    int Status = 0;
    FetchOutcome Outcome = FetchOutcome::NoConnection;

    bool Failed() const { return Outcome != FetchOutcome::Answered; }
    // TransferErrorText after a failure, else empty. The caller records it where the game shows it.
    std::string_view ErrorText() const { return Failed() ? TransferErrorText : std::string_view{}; }
};

// Sends the request and returns the body whatever the status. A connection that brings
// no answer is tried again, up to `attempts` times, FetchRetryPauseMs apart; once the
// server has answered there is no retry (so only a request that may arrive twice, as the
// service's are, is sent this way). The whole call returns within about FetchBudgetMs.
// Keeps no state: any thread may call it.
FetchResult SendRequest(platform::HttpTransport& transport, platform::Clock& clock,
                        const platform::HttpRequest& request, int attempts = FetchAttempts);

// Downloads url (used as given): SendRequest of a GET.
FetchResult FetchUrl(platform::HttpTransport& transport, platform::Clock& clock, const std::string& url);

}  // namespace zorblet::highscore
