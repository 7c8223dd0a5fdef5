// zorblet-highscore-admin against the real service over its admin socket.

#include <atomic>
#include <sstream>
#include <thread>

#include "client_socket.h"
#include "fixture_boards.h"
#include "server_test.h"
#include "store/sqlite/sqlite_handle.h"

namespace zorblet::server::testing {
namespace {

std::vector<std::vector<std::string>> SplitLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string>& fields = lines.emplace_back();
        for (std::size_t start = 0;; start = line.find('\t', start) + 1) {
            fields.push_back(line.substr(start, line.find('\t', start) - start));
            if (line.find('\t', start) == std::string::npos) break;
        }
    }
    return lines;
}

class AdminCommandTest : public ServerTest {
protected:
    std::filesystem::path Socket() const { return directory_.path() / "admin.sock"; }
    void StartWithAdmin() { StartServer({"--submit-rate", "0", "--admin-socket", Socket().string()}); }
    CommandOutcome Admin(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--socket", Socket().string()});
        return RunAdminCommand(arguments);
    }
    // A fresh database with these entries and a server on it.
    void StartOn(const std::vector<ScoreEntry>& seed) {
        StopServer();
        for (const auto& file : std::filesystem::directory_iterator(directory_.path())) {
            std::filesystem::remove_all(file);
        }
        SeedBoard(Database(), seed);
        StartWithAdmin();
    }
    // The listing's ids and places: "id place id place ...".
    std::string IdsAndPlaces(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "list");
        const CommandOutcome listed = Admin(arguments);
        EXPECT_EQ(listed.exit_status, 0) << listed.err;
        std::string result;
        for (const auto& fields : SplitLines(listed.out)) result += fields.at(0) + ' ' + fields.at(1) + ' ';
        return result;
    }
};

// A removal shows at once in the best-of list, the place lists and the listing; a restore
// brings the entries back to their places. An unknown id changes nothing, not even for
// the known ids beside it; a removed id is said to be so and left as it is.
TEST_F(AdminCommandTest, RemoveAndRestoreChangeEveryReplyOrNothing) {
    struct Case {
        const char* what;
        std::vector<std::string> ids;
        int exit_status;
        std::vector<int> removed;  // ids out of the list afterwards
        std::string err;
        std::string removed_places;  // id and the place a restore gives it
    };
    const std::vector<Case> cases{
        {"the top entry", {"1"}, 0, {1}, "", "1 1 "},
        {"one of a tie", {"2"}, 0, {2}, "", "2 2 "},
        {"the last entry", {"6"}, 0, {6}, "", "6 6 "},
        {"several, one given twice", {"4", "2", "4"}, 0, {2, 4}, "", "2 2 4 3 "},
        {"an unknown id beside a known one", {"1", "99"}, 1, {},
         "zorblet-highscore-admin: no entry has the id 99; nothing was changed\n", ""},
        {"a removed id", {"3"}, 0, {3}, "zorblet-highscore-admin: entry 3 is removed already\n", "3 3 "},
    };
    const std::vector<ScoreEntry> seed = SixEntryBoard();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartOn(seed);
        if (c.ids == std::vector<std::string>{"3"}) {
            ASSERT_EQ(Admin({"remove", "3", "--reason", "first"}).exit_status, 0);
        }
        std::vector<std::string> remove{"remove"};
        remove.insert(remove.end(), c.ids.begin(), c.ids.end());
        remove.insert(remove.end(), {"--reason", "faked\tscore"});
        const CommandOutcome removed = Admin(remove);
        EXPECT_EQ(removed.exit_status, c.exit_status);
        EXPECT_EQ(removed.err, c.err);
        EXPECT_EQ(removed.out, "");

        std::vector<ScoreEntry> listed;
        std::string listed_places;
        for (std::size_t i = 0; i < seed.size(); ++i) {
            const int id = static_cast<int>(i) + 1;
            if (std::find(c.removed.begin(), c.removed.end(), id) != c.removed.end()) continue;
            listed.push_back(seed[i]);
        }
        const std::vector<ScoreEntry> ranked = RankNaively(listed);
        EXPECT_EQ(server_->Get("/BestOffSQL.php").body, ExpectedBestOf(ranked));
        for (std::int32_t points : {600, 500, 300, 250, 100, 50, 0}) {
            EXPECT_EQ(server_->Get("/ListeSQL.php?Punkte=" + std::to_string(points)).body,
                      ExpectedPlaceList(ranked, points))
                << points;
        }
        EXPECT_EQ(IdsAndPlaces({"--removed"}), c.removed_places);
        EXPECT_EQ(SplitLines(Admin({"list"}).out).size(), ranked.size());
        if (c.removed.empty()) continue;

        std::vector<std::string> restore{"restore"};
        for (int id : c.removed) restore.push_back(std::to_string(id));
        EXPECT_EQ(Admin(restore).exit_status, 0);
        const CommandOutcome again = Admin(restore);
        EXPECT_EQ(again.exit_status, 0);
        EXPECT_NE(again.err.find("entry " + restore[1] + " is not removed"), std::string::npos) << again.err;
        EXPECT_EQ(server_->Get("/BestOffSQL.php").body, ExpectedBestOf(RankNaively(seed)));
        EXPECT_EQ(IdsAndPlaces({}), "1 1 2 2 3 3 4 4 5 5 6 6 ");
    }
}

TEST_F(AdminCommandTest, ListsLogsAndCountsInPlainText) {
    StartOn(SixEntryBoard());
    const auto lines = SplitLines(Admin({"list", "--name", "\xC3\xA4", "--since", "2024-03-01"}).out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].at(0), "5");
    EXPECT_EQ(lines[0].at(1), "5");
    EXPECT_EQ(lines[0].at(2), "100");
    EXPECT_EQ(lines[0].at(3), "\xC3\x84mil");  // UTF-8
    EXPECT_EQ(lines[0].at(4), "05.04.24");
    EXPECT_EQ(lines[0].at(5).size(), 24u) << lines[0].at(5);  // 2024-12-10T19:43:02+0000
    EXPECT_EQ(IdsAndPlaces({"--places", "2-3"}), "2 2 3 3 ");

    ASSERT_EQ(Admin({"remove", "5", "6", "--reason", "Beleidigung \xC3\xA4"}).exit_status, 0);
    ASSERT_EQ(Admin({"restore", "6"}).exit_status, 0);
    const auto log = SplitLines(Admin({"log"}).out);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(log[0].begin() + 1, log[0].end()),
              (std::vector<std::string>{"remove", "5 6", "Beleidigung \xC3\xA4"}));
    EXPECT_EQ(std::vector<std::string>(log[1].begin() + 1, log[1].end()), (std::vector<std::string>{"restore", "6", ""}));

    const std::string stats = Admin({"stats"}).out;
    EXPECT_NE(stats.find("entries listed\t5\nentries removed\t1\n"), std::string::npos) << stats;
    const std::string metrics =
        ExchangeOverUnixSocket(Socket(), "GET /metrics HTTP/1.1\r\nHost: local\r\nConnection: close\r\n\r\n");
    EXPECT_NE(metrics.find("\nzorblet_entries 5\n"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("\nzorblet_removed_entries 1\n"), std::string::npos) << metrics;
}

TEST_F(AdminCommandTest, UsageErrorsEndWithTwoAndOtherErrorsWithOneInOneLine) {
    StartOn(SixEntryBoard());
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"list", "--places", "5"}, 2},
        {{"list", "--since", "2024-13-01"}, 2},
        {{"list", "--colour"}, 2},
        {{"remove"}, 2},
        {{"remove", "abc"}, 2},
        {{"restore", "1", "--reason", "x"}, 2},
        {{"backup"}, 2},
        {{"stats", "now"}, 2},
        {{"remove", "7"}, 1},
        {{"backup", (directory_.path() / "no" / "such" / "folder" / "copy.sqlite").string()}, 1},
    };
    for (const auto& [arguments, status] : cases) {
        const CommandOutcome outcome = Admin(arguments);
        EXPECT_EQ(outcome.exit_status, status) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with("zorblet-highscore-admin: ")) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
    const CommandOutcome unreachable = RunAdminCommand({"--socket", (directory_.path() / "none.sock").string(), "stats"});
    EXPECT_EQ(unreachable.exit_status, 1);
    EXPECT_NE(unreachable.err.find("no admin socket at"), std::string::npos) << unreachable.err;
    EXPECT_EQ(CountEntries(), 6);
}

// The copy is taken while players keep submitting: it is sound, and a service started on
// it lists exactly the entries the original had up to some moment, in the same order.
TEST_F(AdminCommandTest, ABackupUnderAFloodOfSubmissionsIsAConsistentCopy) {
    std::vector<ScoreEntry> seed;
    for (int i = 0; i < 50000; ++i) seed.push_back({i * 7919 % 100000, "Spieler " + std::to_string(i), "01.01.25"});
    StartOn(seed);
    ASSERT_EQ(Admin({"remove", "17", "4711"}).exit_status, 0);
    std::atomic<bool> flooding{true};
    std::atomic<int> stored{0};
    std::vector<std::thread> flood;
    for (int t = 0; t < 3; ++t) {
        flood.emplace_back([&, t] {
            for (int i = 0; flooding; ++i) {
                std::string name = "F";
                name += std::to_string(t) + "-" + std::to_string(i);
                if (server_->Get(SubmitTarget(i * 31 % 100000, name)).status == 200) ++stored;
            }
        });
    }
    while (stored < 200) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int stored_before = stored;
    const std::filesystem::path copy = directory_.path() / "copy" / "backup.sqlite";
    std::filesystem::create_directories(copy.parent_path());
    const CommandOutcome backup = Admin({"backup", copy.string()});
    const int stored_after = stored;
    flooding = false;
    for (std::thread& thread : flood) thread.join();
    ASSERT_EQ(backup.exit_status, 0) << backup.err;
    EXPECT_EQ(backup.out + backup.err, "");
    EXPECT_GT(stored_after, stored_before) << "the flood stood still during the backup";
    // Only the copy itself: its temporary file is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(copy.parent_path()), {}), 1);

    {
        const SqliteConnection connection = OpenSqliteConnection(copy, false);
        SqliteStatement check(connection.get(), "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.ColumnBytes(0), "ok");
        check.Reset();
    }
    const auto original = SplitLines(Admin({"list"}).out);
    ServerProcess copied(ServerLaunch{copy, {"--admin-socket", (copy.parent_path() / "admin.sock").string()}});
    const auto restored = SplitLines(
        RunAdminCommand({"--socket", (copy.parent_path() / "admin.sock").string(), "list"}).out);
    EXPECT_EQ(copied.Stop(), 0);

    // The copy's entries are the original's up to its newest id: the same order and
    // fields, places counted among them alone.
    long long newest = 0;
    for (const auto& fields : restored) newest = std::max(newest, std::stoll(fields.at(0)));
    std::vector<std::vector<std::string>> expected;
    for (const auto& fields : original) {
        if (std::stoll(fields.at(0)) > newest) continue;
        expected.push_back(fields);
        expected.back().at(1) = std::to_string(expected.size());
    }
    EXPECT_EQ(restored, expected);
    EXPECT_GE(static_cast<int>(restored.size()), 50000 - 2 + stored_before);
    EXPECT_LE(static_cast<int>(restored.size()), 50000 - 2 + stored_after);
}

}  // namespace
}  // namespace zorblet::server::testing
