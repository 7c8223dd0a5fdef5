#include "protocol/submit_guard.h"

#include <gtest/gtest.h>

#include "allowance_cases.h"

namespace zorblet::server {
namespace {

using std::chrono::seconds;
const SubmitGuard::Clock::time_point Start{seconds(1000)};

// A burst of the rate, then an even refill, and the edges of an interval: the table the
// Redis list's script is tested on too.
TEST(SubmitGuard, DecidesEveryCaseOfTheAllowanceTable) {
    for (const testing::AllowanceCase& c : testing::AllowanceCases()) {
        SubmitGuard guard(c.per_minute);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const testing::AllowanceStep& step = c.steps[i];
            EXPECT_EQ(guard.TakeAllowance(step.address, Start + std::chrono::milliseconds(step.at_ms)), step.allowed)
                << c.name << ", step " << i;
        }
    }
}

TEST(SubmitGuard, RateZeroNeverRefuses) {
    SubmitGuard guard(0);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(guard.TakeAllowance("10.0.0.1", Start));
}

TEST(SubmitGuard, TreatsTheSameNameAndPointsFromOneAddressWithinAMinuteAsRepeat) {
    SubmitGuard guard(10);
    const Submission anna{500, "Anna"};
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", anna, Start));
    EXPECT_FALSE(guard.ClaimFirst("10.0.0.1", anna, Start + seconds(59)));
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.2", anna, Start + seconds(1)));
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", {501, "Anna"}, Start + seconds(1)));
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", {500, "anna"}, Start + seconds(1)));
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", anna, Start + seconds(60)));

    const Submission bert{7, "Bert"};
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", bert, Start));
    guard.ReleaseClaim("10.0.0.1", bert);  // storing failed: a retry must be stored
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", bert, Start + seconds(1)));
}

TEST(SubmitGuard, RemembersOnlyTheLatestClaimsSoAFloodCannotGrowMemory) {
    SubmitGuard guard(0);
    for (std::size_t i = 0; i <= SubmitGuard::MaxRecentClaims; ++i) {
        ASSERT_TRUE(guard.ClaimFirst("10.0.0.1", {static_cast<std::int32_t>(i), "Flut"}, Start));
    }
    EXPECT_TRUE(guard.ClaimFirst("10.0.0.1", {0, "Flut"}, Start));  // the oldest is forgotten
    EXPECT_FALSE(
        guard.ClaimFirst("10.0.0.1", {static_cast<std::int32_t>(SubmitGuard::MaxRecentClaims), "Flut"}, Start));
}

}  // namespace
}  // namespace zorblet::server
