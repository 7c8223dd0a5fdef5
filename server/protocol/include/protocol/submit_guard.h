#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "protocol/clock.h"
#include "protocol/submission.h"
#include "store/score_board.h"
#include "store/submit_gate.h"

namespace zorblet::server {

// Per-address limits on submissions. The allowance is `per_minute` submissions, refilled
// evenly over a minute (a burst of `per_minute` at most); 0 switches it off. A submission
// of the same name and points from the same address within a minute of a stored one is
// a repeat (a double click, a retried request) and is stored only once. Only the latest
// `MaxRecentClaims` claims are remembered, so a flood cannot grow memory without bound.
class SubmitGuard {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t MaxRecentClaims = 65536;

    explicit SubmitGuard(int per_minute);

    // Uses one submission of the address's allowance; false when it is used up.
    bool TakeAllowance(const std::string& address, Clock::time_point now);
    // Claims the right to store `submission`; false when it repeats one stored recently.
    bool ClaimFirst(const std::string& address, const Submission& submission, Clock::time_point now);
    // Gives a claim back after storing failed, so that a retry is stored.
    void ReleaseClaim(const std::string& address, const Submission& submission);

private:
    void ForgetFullAllowances(Clock::time_point now);
    void ForgetOldClaims(Clock::time_point now);

    const int per_minute_;
    const Clock::duration interval_;  // one submission's share of the minute
    std::mutex mutex_;
    // Per address, the time at which its allowance is full again.
    std::unordered_map<std::string, Clock::time_point> allowance_full_at_;
    // Per address, name and points, when the stored submission stops counting as recent;
    // and the same claims oldest first, to forget them in order.
    std::unordered_map<std::string, Clock::time_point> recent_until_;
    std::deque<std::pair<std::string, Clock::time_point>> claims_in_order_;
    Clock::time_point next_sweep_{};
};

// The gate of a service that is alone on its store: the guard in this process's memory,
// on the steady time of `clock`.
class LocalSubmitGate final : public SubmitGate {
public:
    LocalSubmitGate(ScoreBoard& board, int per_minute, const ProtocolClock& clock)
        : board_(board), clock_(clock), guard_(per_minute) {}

    bool TakeAllowance(const std::string& address) override;
    GateResult Submit(const std::string& address, const ScoreEntry& entry) override;

private:
    ScoreBoard& board_;
    const ProtocolClock& clock_;
    SubmitGuard guard_;
};

}  // namespace zorblet::server
