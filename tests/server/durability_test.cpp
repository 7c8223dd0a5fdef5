// What is answered OK stays stored: across kill -9, under a failing disk, and when many
// players submit at once.

#include <filesystem>
#include <set>
#include <thread>

#include "fixture_boards.h"
#include "server_test.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {
namespace {

using DurabilityTest = ServerTest;

// Every name in the database file, read through the storage layer.
std::multiset<std::string> ReadStoredNames(const std::filesystem::path& database) {
    std::multiset<std::string> names;
    SqliteScoreBoard board(database);
    board.ReadRanking([&](const RankedView& view) {
        view.VisitRanks(1, view.CountEntries(), [&](const RankedEntry& entry) { names.emplace(entry.name); });
    });
    return names;
}

TEST_F(DurabilityTest, ScoresAnsweredOkSurviveAKillMinusNine) {
    StartServer();
    std::multiset<std::string> submitted;
    for (int i = 0; i < 30; ++i) {
        const std::string name = "Spieler " + std::to_string(i);
        ASSERT_EQ(server_->Get(SubmitTarget(i * 10, name)).status, 200);
        submitted.insert(name);
    }
    server_->Kill();
    server_.reset();
    EXPECT_EQ(ReadStoredNames(Database()), submitted);
    StartServer();
    EXPECT_EQ(CountEntries(), 30);
}

TEST_F(DurabilityTest, AFailingDiskAnswers503AndLosesNothingStored) {
    SeedBoard(Database(), ThreeEntryBoard());
    // Room for the database and a few commits' worth of log, no more.
    StartServer({"--submit-rate", "0"}, 64 * 1024);
    std::multiset<std::string> stored{"Anna", "Bert", "Cleo"};
    int refused = 0;
    for (int i = 0; i < 100; ++i) {
        const std::string name = "Spieler " + std::to_string(i);
        const HttpReply reply = server_->Get(SubmitTarget(i, name));
        ASSERT_TRUE(reply.status == 200 || reply.status == 503) << reply.status;
        if (reply.status == 200) stored.insert(name);
        if (reply.status == 503) ++refused;
    }
    ASSERT_GT(refused, 0) << "the disk never filled up";
    EXPECT_EQ(CountEntries(), static_cast<std::int64_t>(stored.size()));
    server_->Kill();
    server_.reset();
    EXPECT_EQ(ReadStoredNames(Database()), stored);  // every OK kept, no refused one
}

TEST_F(DurabilityTest, ParallelSubmissionsAreAllStored) {
    StartServer({"--submit-rate", "0", "--threads", "4"});  // submissions from several loops
    constexpr int Writers = 8;
    constexpr int PerWriter = 25;
    std::vector<std::thread> threads;
    std::atomic<int> answered_ok{0};
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < PerWriter; ++i) {
                std::string name = "W";  // appended piecewise: GCC 12 warns falsely on "W" + string
                name += std::to_string(w) + ' ' + std::to_string(i);
                if (server_->Get(SubmitTarget(i % 5, name)).status == 200) ++answered_ok;
            }
        });
    }
    threads.emplace_back([&] {  // reads in between must stay well formed
        for (int i = 0; i < 50; ++i) {
            const HttpReply reply = server_->Get("/ListeSQL.php?Punkte=2");
            EXPECT_EQ(reply.status, 200);
            EXPECT_TRUE(reply.body.ends_with("\r\n"));
        }
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answered_ok, Writers * PerWriter);
    EXPECT_EQ(CountEntries(), Writers * PerWriter);
    StopServer();
    EXPECT_EQ(ReadStoredNames(Database()).size(), static_cast<std::size_t>(Writers * PerWriter));
}

TEST_F(DurabilityTest, TheLogIsCopiedIntoTheDatabaseFileWhileTheServerRuns) {
    StartServer();
    const auto size_at_start = std::filesystem::file_size(Database());
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(server_->Get(SubmitTarget(i, "Spieler " + std::to_string(i))).status, 200);
    }
    bool copied = false;
    for (int wait = 0; wait < 200 && !copied; ++wait) {
        copied = std::filesystem::file_size(Database()) > size_at_start;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(copied) << "no checkpoint ran: the log would grow without bound";
}

TEST_F(DurabilityTest, ASecondServerOnTheSameDatabaseRefusesToStart) {
    StartServer();
    EXPECT_THROW(ServerProcess(ServerLaunch{Database(), {}, std::nullopt}), std::runtime_error);
}

}  // namespace
}  // namespace zorblet::server::testing
