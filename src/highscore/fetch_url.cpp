#include "highscore/fetch_url.h"

#include <algorithm>
#include <cstdint>

namespace zorblet::highscore {

namespace {

// Milliseconds left of the call's budget on the given clock.
class Deadline {
public:
    Deadline(platform::Clock& clock, int budgetMs) : clock_(clock), start_(clock.Counter()), budgetMs_(budgetMs) {}

    int RemainingMs() {
        const std::uint64_t elapsedMs = (clock_.Counter() - start_) * 1000 / clock_.Frequency();
        return elapsedMs >= static_cast<std::uint64_t>(budgetMs_) ? 0 : budgetMs_ - static_cast<int>(elapsedMs);
    }

private:
    platform::Clock& clock_;
    std::uint64_t start_;
    int budgetMs_;
};

FetchResult TakeAnswer(platform::HttpAttempt& attempt) {
    FetchResult result;
    result.Body = std::move(attempt.Body);
    result.Status = attempt.Status;
    result.Outcome = attempt.TimedOut ? FetchOutcome::TimedOut : FetchOutcome::Answered;
    return result;
}

}  // namespace

FetchResult SendRequest(platform::HttpTransport& transport, platform::Clock& clock,
                        const platform::HttpRequest& request, int attempts) {
    Deadline deadline(clock, FetchBudgetMs);
    bool timedOut = false;
    for (int tried = 0; tried < attempts && !transport.Cancelled(); ++tried) {
        const int remainingMs = deadline.RemainingMs();
        if (remainingMs <= 0) break;
        platform::HttpAttempt attempt = transport.Send(request, remainingMs);
        if (attempt.Status != 0) return TakeAnswer(attempt);
        // A server that took the request and went silent may answer the next one.
        timedOut = timedOut || attempt.TimedOut;
        if (transport.Cancelled()) break;
        clock.SleepMs(std::min(FetchRetryPauseMs, deadline.RemainingMs()));
    }
    FetchResult result;
    result.Outcome = timedOut || deadline.RemainingMs() <= 0 ? FetchOutcome::TimedOut : FetchOutcome::NoConnection;
    return result;
}

FetchResult FetchUrl(platform::HttpTransport& transport, platform::Clock& clock, const std::string& url) {
    return SendRequest(transport, clock, platform::GetRequest(url));
}

}  // namespace zorblet::highscore
