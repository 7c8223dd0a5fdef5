// FetchUrl's retries, time budget and outcomes, over a scripted transport on a fake clock.

#include "highscore/fetch_url.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/http_fakes.h"

namespace zorblet::highscore {
namespace {

using platform::HttpAttempt;
using testing::ScriptedHttpTransport;

const std::string Url = "http://scores.test/ListeSQL.php?Punkte=-5&Name=%C4rger";

HttpAttempt Refused() {
    return {};
}
HttpAttempt Reply(int status, std::string body) {
    return {true, status, std::move(body), false};
}
HttpAttempt Silent() {
    return {true, 0, "", true};
}
HttpAttempt HungUp() {
    return {true, 0, "", false};
}

class FetchUrlTest : public ::testing::Test {
protected:
    FetchResult Fetch() {
        startMs_ = clock_.NowMs();
        return FetchUrl(transport_, clock_, Url);
    }
    std::uint64_t ElapsedMs() { return clock_.NowMs() - startMs_; }
    std::vector<std::uint64_t> CallTimesMs() const {
        std::vector<std::uint64_t> times;
        for (const auto& call : transport_.Calls) times.push_back(call.AtMs - startMs_);
        return times;
    }

    testing::SharedFakeClock clock_;
    ScriptedHttpTransport transport_{clock_};

private:
    std::uint64_t startMs_ = 0;
};

TEST_F(FetchUrlTest, TenRefusedAttemptsThreeHundredMsApartThenTheFailure) {
    transport_.Steps = {{Refused()}};

    const FetchResult result = Fetch();

    EXPECT_EQ(CallTimesMs(), (std::vector<std::uint64_t>{0, 300, 600, 900, 1200, 1500, 1800, 2100, 2400, 2700}));
    EXPECT_EQ(ElapsedMs(), 3000u);
    EXPECT_EQ(result.Outcome, FetchOutcome::NoConnection);
    EXPECT_TRUE(result.Failed());
    EXPECT_EQ(result.ErrorText(),
              "Daten\xFC"
              "bertragung nicht m\xF6"
              "glich!");
    EXPECT_EQ(result.Body, "");
    EXPECT_EQ(result.Status, 0);
}

TEST_F(FetchUrlTest, AnswerOnTheFourthAttemptIsNoFailure) {
    transport_.Steps = {{Refused()}, {Refused()}, {Refused()}, {Reply(200, "1\r\n")}, {Reply(500, "again?")}};

    const FetchResult result = Fetch();

    EXPECT_EQ(CallTimesMs(), (std::vector<std::uint64_t>{0, 300, 600, 900}));
    for (const auto& call : transport_.Calls) EXPECT_EQ(call.Url, Url);
    EXPECT_EQ(result.Outcome, FetchOutcome::Answered);
    EXPECT_FALSE(result.Failed());
    EXPECT_EQ(result.ErrorText(), "");
    EXPECT_EQ(result.Body, "1\r\n");
    EXPECT_EQ(result.Status, 200);
}

TEST_F(FetchUrlTest, AnsweredErrorStatusIsTheResultWithoutRetry) {
    transport_.Steps = {{Reply(404, "<html>Not Found</html>")}, {Reply(200, "too late")}};

    const FetchResult result = Fetch();

    EXPECT_EQ(transport_.Calls.size(), 1u);
    EXPECT_EQ(result.Outcome, FetchOutcome::Answered);
    EXPECT_EQ(result.Body, "<html>Not Found</html>");
    EXPECT_EQ(result.Status, 404);
}

// Each attempt gets only what is left of the call's time, so slow connects cannot add up
// to more than the budget: 3 s connect time-outs leave room for three and a short fourth.
TEST_F(FetchUrlTest, SlowConnectsStayWithinTheCallsBudget) {
    transport_.Steps = {{Refused(), 3000}};

    const FetchResult result = Fetch();

    EXPECT_EQ(CallTimesMs(), (std::vector<std::uint64_t>{0, 3300, 6600, 9900}));
    std::vector<int> budgets;
    for (const auto& call : transport_.Calls) budgets.push_back(call.BudgetMs);
    EXPECT_EQ(budgets, (std::vector<int>{10000, 6700, 3400, 100}));
    EXPECT_EQ(ElapsedMs(), 10000u);
    EXPECT_EQ(result.Outcome, FetchOutcome::TimedOut);
    EXPECT_EQ(result.ErrorText(), TransferErrorText);
}

struct OutcomeCase {
    const char* Name;
    std::vector<ScriptedHttpTransport::Step> Steps;
    FetchOutcome Outcome;
    std::string Body;
    int Status;
    std::size_t Attempts;
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const OutcomeCase& c, std::ostream* out) {
    *out << c.Name;
}

class FetchOutcomeTest : public FetchUrlTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(FetchOutcomeTest, ClassifiesHowTheFetchEnded) {
    const OutcomeCase& c = GetParam();
    transport_.Steps = c.Steps;

    const FetchResult result = Fetch();

    EXPECT_EQ(result.Outcome, c.Outcome);
    EXPECT_EQ(result.Failed(), c.Outcome != FetchOutcome::Answered);
    EXPECT_EQ(result.Body, c.Body);
    EXPECT_EQ(result.Status, c.Status);
    EXPECT_EQ(transport_.Calls.size(), c.Attempts);
    EXPECT_LE(ElapsedMs(), static_cast<std::uint64_t>(FetchBudgetMs));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FetchOutcomeTest,
    ::testing::Values(
        OutcomeCase{"EmptyBody", {{Reply(200, "")}}, FetchOutcome::Answered, "", 200, 1},
        OutcomeCase{"StalledBodyKeepsWhatArrived",
                    {{{true, 200, "3\r\n12", true}, 3000}},
                    FetchOutcome::TimedOut,
                    "3\r\n12",
                    200,
                    1},
        OutcomeCase{"SilentServerIsTriedAgainUntilTimeRunsOut", {{Silent(), 3000}}, FetchOutcome::TimedOut, "", 0, 4},
        OutcomeCase{
            "SilentOnceThenAnswered", {{Silent(), 3000}, {Reply(200, "ok")}}, FetchOutcome::Answered, "ok", 200, 2},
        OutcomeCase{"HangUpWithoutAWordIsLikeNoConnection", {{HungUp()}}, FetchOutcome::NoConnection, "", 0, 10},
        OutcomeCase{
            "SilentOnceThenRefusedStillTimedOut", {{Silent(), 3000}, {Refused()}}, FetchOutcome::TimedOut, "", 0, 10}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace zorblet::highscore
