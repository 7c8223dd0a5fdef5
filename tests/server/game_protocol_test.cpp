// The game's protocol in process, on a clock the test sets: its outcomes in its own
// terms, a score dated by the wall clock, and an allowance that refills as the steady
// clock moves, without waiting for it.

#include "protocol/game_protocol.h"

#include <gtest/gtest.h>

#include <ctime>

#include "protocol/submit_guard.h"
#include "server_process.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {
namespace {

using namespace std::chrono_literals;

class SetClock final : public ProtocolClock {
public:
    std::chrono::steady_clock::time_point Steady() const override { return steady; }
    std::chrono::system_clock::time_point Wall() const override { return wall; }

    std::chrono::steady_clock::time_point steady{std::chrono::hours(1)};
    std::chrono::system_clock::time_point wall;
};

// Noon of a local day.
std::chrono::system_clock::time_point LocalNoon(int year, int month, int day) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class GameProtocolTest : public ::testing::Test {
protected:
    Outcome Ask(GameRequest request, const std::string& query, const std::string& client = "10.0.0.1") {
        return protocol_.Answer(request, query, client);
    }
    Outcome Submit(std::int32_t points, const std::string& name, const std::string& client = "10.0.0.1") {
        const std::string target = SubmitTarget(points, name);
        return Ask(GameRequest::Submission, target.substr(target.find('?') + 1), client);
    }

    TempDir directory_;
    SqliteScoreBoard board_{directory_.path() / "scores.sqlite"};
    SetClock clock_;
    LocalSubmitGate gate_{board_, 2, clock_};  // one more every 30 s
    GameProtocol protocol_{board_, gate_, clock_, {"/zorblet/"}};
};

TEST_F(GameProtocolTest, NamesItsRequestsAndAnswersInItsOwnTerms) {
    EXPECT_EQ(protocol_.FindRequest("/zorblet/BestOffSQL.php"), GameRequest::BestOf);
    EXPECT_EQ(protocol_.FindRequest("/zorblet/ListeSQL.php"), GameRequest::PlaceList);
    EXPECT_EQ(protocol_.FindRequest("/zorblet/HighScoreSQL.php"), GameRequest::Submission);
    EXPECT_EQ(protocol_.FindRequest("/BestOffSQL.php"), std::nullopt);
    EXPECT_TRUE(ChangesList(GameRequest::Submission));
    EXPECT_FALSE(ChangesList(GameRequest::PlaceList));

    const Outcome place = Ask(GameRequest::PlaceList, "Punkte=100");
    EXPECT_EQ(place.kind, Outcome::Kind::Found);
    EXPECT_TRUE(place.text.starts_with("1\r\n")) << place.text;
    const Outcome bad_points = Ask(GameRequest::PlaceList, "Punkte=x");
    EXPECT_EQ(bad_points.kind, Outcome::Kind::Refused);
    EXPECT_EQ(bad_points.text, PointsProblem);
    const Outcome bad_check = Ask(GameRequest::Submission, "Punkte=1&Name=Anna&Check=1");
    EXPECT_EQ(bad_check.kind, Outcome::Kind::Refused);
    EXPECT_EQ(bad_check.text, "Check does not match Punkte and Name");
    const Outcome stored = Submit(100, "Anna");
    EXPECT_EQ(stored.kind, Outcome::Kind::Stored);
    EXPECT_EQ(stored.text, "OK");
    EXPECT_EQ(Submit(200, "Anna").kind, Outcome::Kind::RateLimited);  // the refused one counted too
}

TEST_F(GameProtocolTest, DatesScoresByTheWallClockAndRefillsTheAllowanceByTheSteadyClock) {
    clock_.wall = LocalNoon(2024, 2, 29);
    EXPECT_EQ(Submit(300, "Anna").kind, Outcome::Kind::Stored);
    clock_.wall = LocalNoon(2025, 12, 31);
    EXPECT_EQ(Submit(200, "Bert").kind, Outcome::Kind::Stored);
    EXPECT_EQ(Submit(100, "Cleo").kind, Outcome::Kind::RateLimited);
    clock_.steady += 29s;
    EXPECT_EQ(Submit(100, "Cleo").kind, Outcome::Kind::RateLimited);
    EXPECT_EQ(Submit(100, "Cleo", "10.0.0.2").kind, Outcome::Kind::Stored);  // another client
    clock_.steady += 31s;
    EXPECT_EQ(Submit(100, "Dora").kind, Outcome::Kind::Stored);

    const std::string best = Ask(GameRequest::BestOf, "").text;
    EXPECT_NE(best.find("300\tAnna\t29.02.24\r\n200\tBert\t31.12.25\r\n"), std::string::npos) << best;
}

}  // namespace
}  // namespace zorblet::server::testing
