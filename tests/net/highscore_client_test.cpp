// The game's highscore transfers: against the real service, and with stand-in transports
// for their order, their hand-over to the frame and their failures.

#include "highscore/highscore_client.h"
#include "highscore/transfer_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "fixture_boards.h"
#include "highscore/best_of_reply.h"
#include "highscore/check_text.h"
#include "highscore/row_format.h"
#include "highscore/service_urls.h"
#include "platform/curl_http_transport.h"
#include "platform/posix_clock.h"
#include "server_test.h"
#include "support/fakes.h"
#include "support/http_fakes.h"

namespace zorblet::highscore {
namespace {

using namespace std::chrono_literals;

const std::string TransferRunning =
    "Daten werden \xFC"
    "bertragen...";

// Waits (bounded) until the client's transfers have all ended, then refreshes the view.
void Settle(HighscoreClient& client, BoardView& view) {
    for (int i = 0; i < 3000 && client.Busy(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(client.Busy()) << "a transfer is stuck";
    client.Refresh(view);
}

class ClientAgainstServiceTest : public server::testing::ServerTest {
protected:
    std::string BaseUrl(const server::testing::ServerProcess& server) const {
        return "http://127.0.0.1:" + std::to_string(server.port());  // no final "/": the client adds it
    }
    platform::CurlHttpTransport transport;
    platform::PosixClock clock;
};

// The real transport behind a gate the test can hold shut, so that a transfer on loopback
// is still running when the test looks.
class GatedTransport final : public platform::HttpTransport {
public:
    explicit GatedTransport(platform::HttpTransport& inner) : inner_(inner) {}
    platform::HttpAttempt Get(const std::string& url, int budgetMs) override {
        std::lock_guard open(gate);
        return inner_.Get(url, budgetMs);
    }
    std::mutex gate;

private:
    platform::HttpTransport& inner_;
};

TEST_F(ClientAgainstServiceTest, StartUpFetchesTheListAroundZeroThenTheBestOfTable) {
    server::testing::SeedBoard(
        Database(), {{1234, "Anna", "07.05.07"}, {900, "Bernd", "08.05.07"}, {4711, "J\xFCrgen", "09.05.07"}});
    auto& server = StartServer();
    GatedTransport gated(transport);
    HighscoreClient client(gated, clock, BaseUrl(server));
    BoardView view;

    client.FetchList(0);
    Settle(client, view);
    EXPECT_EQ(view.ScorePlace, 4) << "0 points would come after the three";
    EXPECT_NE(view.HighscoreRows[0].find("4711"), std::string::npos);
    client.ForgetRows(0, 100);
    gated.gate.lock();
    client.RefreshBestOf();
    client.Refresh(view);
    EXPECT_EQ(view.StatusText, TransferRunning) << "from the moment it is started";
    gated.gate.unlock();
    Settle(client, view);

    EXPECT_EQ(view.StatusText, "");
    EXPECT_EQ(view.Failures, 0u);
    EXPECT_EQ(view.HighscoreRows[0], "     Zorblet hat 3 HighScore-Eintr\xE4ge");
    EXPECT_EQ(view.HighscoreRows[2], "   1    4711  J\xFCrgen                    09.05.07");
    EXPECT_EQ(view.HighscoreRows[4], "   3     900  Bernd                     08.05.07");
    EXPECT_EQ(view.HighscoreRows[58], "") << "a short list is shown once, at the top";
    EXPECT_EQ(view.HighscoreRows[59], "") << "the list around 0 was forgotten";
}

TEST_F(ClientAgainstServiceTest, SubmittedNameArrivesIntactAndIsInTheNextBestOfTable) {
    auto& server = StartServer();
    HighscoreClient client(transport, clock, BaseUrl(server) + "/");
    BoardView view;
    const std::string name = "J\xFCrgen & Co #1+";
    client.SubmitThenRefresh(SubmitUrl(client.Server(), 777, name, BuildCheckText(777, name)));
    Settle(client, view);

    EXPECT_EQ(view.Failures, 0u);
    EXPECT_EQ(view.HighscoreRows[0], "     Zorblet hat 1 HighScore-Eintr\xE4ge");
    EXPECT_EQ(view.HighscoreRows[2].substr(0, 38), "   1     777  " + name + std::string(24 - name.size(), ' '));
    const std::string reply = server.Get("/BestOffSQL.php").body;
    EXPECT_NE(reply.find("777\t" + name + "\t"), std::string::npos) << reply;
}

// The rank labels of the best-of rows that carry an entry, in row order.
std::vector<int> RanksShown(const BoardView& view) {
    std::vector<int> ranks;
    for (int index = 2; index < BestOfRowCount; ++index) {
        const std::string& row = view.HighscoreRows[index];
        if (row.empty() || row == BestOfGapRow) continue;
        ranks.push_back(std::stoi(row.substr(0, 4)));
    }
    return ranks;
}

TEST_F(ClientAgainstServiceTest, TheBestOfTableShowsEachEntryOnceAndNoPlaceWithoutOne) {
    const std::vector<server::ScoreEntry> sixty = server::testing::SixtyEntryBoard();
    for (const int count : {0, 3, 52, 60}) {
        StopServer();
        std::filesystem::remove(Database());
        server::testing::SeedBoard(Database(), {sixty.begin(), sixty.begin() + count});
        auto& server = StartServer();
        HighscoreClient client(transport, clock, BaseUrl(server));
        BoardView view;
        client.RefreshBestOf();
        Settle(client, view);

        std::vector<int> expected;
        for (int rank = 1; rank <= std::min(count, 50); ++rank) expected.push_back(rank);
        for (int rank = std::max(51, count - 4); rank <= count; ++rank) expected.push_back(rank);
        EXPECT_EQ(view.HighscoreRows[0], "     Zorblet hat " + std::to_string(count) + " HighScore-Eintr\xE4ge");
        EXPECT_EQ(RanksShown(view), expected) << count << " entries";
        EXPECT_EQ(view.HighscoreRows[52] == BestOfGapRow, count > 50) << count << " entries: the gap";
    }
}

TEST_F(ClientAgainstServiceTest, AFailedFetchLeavesTheLastListReceivedAndBeforeAnyOnlyTheHeadingShows) {
    // At start-up, with no service: nothing to show but the heading.
    auto& server = StartServer();
    const std::string address = BaseUrl(server);
    StopServer();
    testing::SharedFakeClock instantRetries;  // the refused connections are tried again at once
    HighscoreClient client(transport, instantRetries, address);
    BoardView view;
    client.FetchList(0);
    Settle(client, view);
    client.ForgetRows(0, 100);
    client.RefreshBestOf();
    Settle(client, view);
    EXPECT_EQ(view.Failures, 2u);
    EXPECT_EQ(view.ScorePlace, 0) << "no place is known";
    EXPECT_EQ(std::vector<std::string>(view.HighscoreRows.begin(), view.HighscoreRows.begin() + BestOfRowCount),
              std::vector<std::string>(BestOfRowCount, ""));

    // A good list, a game's place list over some of its rows, then the service is gone:
    // the table reads as the good list did, count line and all.
    server::testing::SeedBoard(Database(), server::testing::SixtyEntryBoard());
    HighscoreClient later(transport, instantRetries, BaseUrl(StartServer()));
    view = BoardView{};
    later.RefreshBestOf();
    Settle(later, view);
    const std::vector<std::string> good(view.HighscoreRows.begin(), view.HighscoreRows.begin() + BestOfRowCount);
    EXPECT_EQ(good[0], "     Zorblet hat 60 HighScore-Eintr\xE4ge");
    later.FetchList(700);
    Settle(later, view);
    EXPECT_EQ(view.ScorePlace, 19);
    EXPECT_NE(view.HighscoreRows[12], good[12]) << "the place list wrote over the best-of rows";
    StopServer();
    later.RefreshBestOf();
    Settle(later, view);
    EXPECT_EQ(view.Failures, 1u);
    EXPECT_EQ(std::vector<std::string>(view.HighscoreRows.begin(), view.HighscoreRows.begin() + BestOfRowCount), good);
}

TEST(HighscoreClientTest, TransfersRunOneAtATimeInOrderAndTheFrameNeverWaitsForThem) {
    testing::HeldTransport transport;
    platform::PosixClock clock;
    HighscoreClient client(transport, clock, "http://scores.test/z/");
    BoardView view;
    client.RefreshBestOf();
    client.FetchList(250);
    client.SubmitThenRefresh("http://scores.test/z/HighScoreSQL.php?Punkte=250&Name=A&Check=x");
    transport.WaitForCalls(1);

    // The first transfer hangs in the network; the frame's refresh does not.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) client.Refresh(view);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(view.StatusText, TransferRunning);

    transport.Release();
    Settle(client, view);
    EXPECT_EQ(transport.MaxAtOnce(), 1);
    const std::vector<std::string> expected = {
        "http://scores.test/z/BestOffSQL.php", "http://scores.test/z/ListeSQL.php?Punkte=250",
        "http://scores.test/z/HighScoreSQL.php?Punkte=250&Name=A&Check=x", "http://scores.test/z/BestOffSQL.php"};
    EXPECT_EQ(transport.Urls(), expected);
    EXPECT_EQ(view.StatusText, "");
    EXPECT_EQ(view.ScorePlace, 1);
}

TEST(HighscoreClientTest, EveryFailedFetchIsCountedForTheStatusLineAndWritesNoRows) {
    testing::SharedFakeClock clock;
    testing::ScriptedHttpTransport transport(clock);
    transport.Steps = {{platform::HttpAttempt{}, 0}};  // refused, always
    HighscoreClient client(transport, clock, "http://scores.test/");
    BoardView view;
    client.FetchList(5);
    client.SubmitThenRefresh("http://scores.test/HighScoreSQL.php?Punkte=5&Name=B&Check=y");
    Settle(client, view);
    EXPECT_EQ(view.Failures, 2u) << "the list and the best-of table";
    EXPECT_EQ(view.KeptSubmissions, 1) << "the submission waits to be sent again, its failures told when given up";
    EXPECT_EQ(view.StatusText, "");
    EXPECT_EQ(view.ScorePlace, 0);
    EXPECT_EQ(view.HighscoreRows, MakeHighscoreRows()) << "no list came, so no rows";
}

TEST(HighscoreClientTest, PlacesFarOutsideTheTableAreHandedOverSafely) {
    struct Case {
        const char* Reply;
        std::int32_t Place;
        std::int32_t FirstWritten, LastWritten;  // the rows the list fills; none when first > last
    } const cases[] = {
        {"2147483647\r\n1\t2\t3\r\n", 2147483647, 1, 0},
        {"-5\r\n", -5, 1, 0},
        {"9998\r\n1\tA\t01.01.01\r\n", 9998, 9989, LastRowIndex},  // the rows past 10000 are dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Reply);
        testing::AnsweringTransport transport(std::vector<testing::AnsweringTransport::Rule>{{"ListeSQL", c.Reply}});
        platform::PosixClock clock;
        HighscoreClient client(transport, clock, "http://scores.test/");
        BoardView view;
        const std::vector<std::string> before = view.HighscoreRows;
        client.FetchList(1);
        Settle(client, view);
        EXPECT_EQ(view.ScorePlace, c.Place);
        ASSERT_EQ(view.HighscoreRows.size(), before.size());
        for (std::int32_t row = 0; row <= LastRowIndex; ++row) {
            const auto index = static_cast<std::size_t>(row);
            if (row < c.FirstWritten || row > c.LastWritten) {
                ASSERT_EQ(view.HighscoreRows[index], before[index]) << "row " << row << " was not in the list";
            } else if (row == c.FirstWritten) {
                EXPECT_EQ(view.HighscoreRows[index], FormatPlaceRow("1", "A", "01.01.01")) << "the list's first record";
            } else {
                EXPECT_EQ(view.HighscoreRows[index], "") << "row " << row << ", no entry";
            }
        }
    }
}

// Waits (bounded) until the worker has run what is due.
void SettleWorker(TransferWorker& worker) {
    for (int i = 0; i < 3000 && worker.Busy(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(worker.Busy()) << "a job is stuck";
}

// Waits (bounded) until the worker waits on the clock for a job for later.
void AwaitWaitOnClock(testing::SharedFakeClock& clock) {
    for (int i = 0; i < 3000 && clock.Waiting() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(clock.Waiting(), 1u) << "the worker does not wait for its job for later";
}

TEST(TransferWorkerTest, JobsForLaterRunWhenTheClockComesToThemInTheirTurn) {
    testing::SharedFakeClock clock;
    TransferWorker worker(clock);
    std::mutex mutex;
    std::vector<int> order;
    const auto record = [&](int n) {
        return [&, n] {
            std::lock_guard lock(mutex);
            order.push_back(n);
        };
    };
    const auto ran = [&] {
        std::lock_guard lock(mutex);
        return order;
    };
    const std::uint64_t start = clock.Counter();
    const auto at = [&](std::chrono::milliseconds later) { return start + platform::TicksIn(clock, later); };
    worker.PostAt(at(300ms), record(5));
    worker.PostAt(at(100ms), record(3));
    worker.PostAt(at(100ms), record(4));
    AwaitWaitOnClock(clock);
    EXPECT_FALSE(worker.Busy()) << "jobs for later are no running transfer";
    worker.Post(record(1));
    worker.Post(record(2));
    SettleWorker(worker);
    EXPECT_EQ(ran(), (std::vector<int>{1, 2})) << "jobs due now go before those for later, in their order";

    clock.AdvanceMs(99);
    EXPECT_FALSE(worker.Busy());
    AwaitWaitOnClock(clock);
    EXPECT_EQ(ran(), (std::vector<int>{1, 2})) << "not before their time";
    clock.AdvanceMs(1);
    SettleWorker(worker);
    EXPECT_EQ(ran(), (std::vector<int>{1, 2, 3, 4})) << "jobs due at one time run in the order of posting";

    worker.PostAt(at(200ms), record(6));
    clock.AdvanceMs(200);
    SettleWorker(worker);
    EXPECT_EQ(ran(), (std::vector<int>{1, 2, 3, 4, 6, 5})) << "an earlier due time goes first, whenever posted";

    worker.PostAt(at(400ms), record(7));
    AwaitWaitOnClock(clock);
    worker.Stop();
    clock.AdvanceMs(1000);
    worker.Post(record(8));
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(ran(), (std::vector<int>{1, 2, 3, 4, 6, 5})) << "nothing runs after Stop";
}

TEST(HighscoreClientTest, BaseAddressGetsItsFinalSlash) {
    EXPECT_EQ(WithFinalSlash("http://a.b/c"), "http://a.b/c/");
    EXPECT_EQ(WithFinalSlash("http://a.b/c/"), "http://a.b/c/");
}

}  // namespace
}  // namespace zorblet::highscore
