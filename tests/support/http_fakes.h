#pragma once
// A stand-in for the HTTP transport: plays back scripted attempts on a fake clock.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/http_transport.h"
#include "support/fakes.h"

namespace zorblet::testing {

class ScriptedHttpTransport final : public platform::HttpTransport {
public:
    struct Step {
        platform::HttpAttempt Attempt;
        std::uint64_t TakesMs = 0;  // how long the attempt runs when the budget allows
    };
    struct Call {
        std::string Url;
        int BudgetMs = 0;
        std::uint64_t AtMs = 0;  // the fake clock's time when the attempt began
    };

    explicit ScriptedHttpTransport(FakeClock& clock) : clock_(clock) {}

    std::vector<Step> Steps;  // one per attempt; the last one repeats
    std::vector<Call> Calls;

    // Like the real transport, an attempt that would outrun its budget ends when the
    // budget does, timed out if it had connected.
    platform::HttpAttempt Get(const std::string& url, int budgetMs) override {
        Calls.push_back({url, budgetMs, clock_.Now / 1'000'000});
        const Step& step = Steps[std::min(Calls.size(), Steps.size()) - 1];
        platform::HttpAttempt attempt = step.Attempt;
        const auto budget = static_cast<std::uint64_t>(budgetMs);
        if (step.TakesMs > budget) attempt.TimedOut = attempt.Connected;
        clock_.AdvanceMs(std::min(step.TakesMs, budget));
        return attempt;
    }

private:
    FakeClock& clock_;
};

}  // namespace zorblet::testing
