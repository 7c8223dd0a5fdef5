// The operators' requests, answered by AdminService on a real database, in process.

#include "ops/admin_service.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "fixture_boards.h"
#include "local_game.h"
#include "server_process.h"
#include "store/sqlite/sqlite_handle.h"
#include "store/sqlite/sqlite_score_board.h"
#include "web/game_front.h"

namespace zorblet::server::testing {
namespace {

class AdminServiceTest : public ::testing::Test {
protected:
    void Open(const std::vector<ScoreEntry>& seed) {
        SeedBoard(Database(), seed);
        Reopen();
    }
    void Close() {
        admin_.reset();
        game_.reset();
        board_.reset();
    }
    void Reopen() {
        Close();
        board_ = std::make_unique<SqliteScoreBoard>(Database());
        admin_ = std::make_unique<AdminService>(*board_, *board_, *board_);
        game_ = std::make_unique<LocalGame>(*board_);
    }
    std::filesystem::path Database() const { return directory_.path() / "scores.sqlite"; }

    Reply Admin(const std::string& method, const std::string& target) {
        return admin_->Answer({method, target, {}, address_});
    }
    std::string Read(const std::string& target) {
        return AnswerGameRequest(game_->protocol, {"GET", target, {}, address_}).value().body;
    }
    // The listing's entry lines after its "end" line, each cut down to id and place.
    std::string IdsAndPlaces(const std::string& query) {
        const Reply reply = Admin("GET", "/entries" + query);
        EXPECT_EQ(reply.status, 200) << reply.body;
        EXPECT_TRUE(reply.body.starts_with("end\n")) << reply.body;
        std::istringstream lines(reply.body.substr(reply.body.find('\n') + 1));
        std::string result;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t second_tab = line.find('\t', line.find('\t') + 1);
            result += line.substr(0, second_tab) + ' ';
        }
        return result;
    }

    const std::string address_ = "local";
    TempDir directory_;
    std::unique_ptr<SqliteScoreBoard> board_;
    std::unique_ptr<AdminService> admin_;
    std::unique_ptr<LocalGame> game_;
};

TEST_F(AdminServiceTest, ListsEntriesWithTheirPlacesInUtf8) {
    Open(SixEntryBoard());
    const Reply all = Admin("GET", "/entries");
    ASSERT_EQ(all.status, 200);
    std::istringstream lines(all.body);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "end");
    std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("1\t1\t500\tAnna\t01.02.24\t20")) << line;  // the time stored follows
    for (int i = 0; i < 4; ++i) std::getline(lines, line);
    EXPECT_TRUE(line.starts_with("5\t5\t100\t\xC3\x84mil\t05.04.24\t")) << line;

    // The name's start, ignoring case only: ä finds Ä, a finds no Ä.
    const std::vector<std::pair<std::string, std::string>> filters{
        {"?name=%C3%A4", "5\t5 "},  // ä
        {"?name=a", "1\t1 "},
        {"?name=", "1\t1 2\t2 3\t3 4\t4 5\t5 6\t6 "},
        {"?name=%E2%82%AC", ""},  // € is Windows-1252, no name starts with it
        {"?name=%F0%9F%98%80", ""},  // no name can hold an emoji
        {"?since=2024-03-04", "4\t4 5\t5 6\t6 "},
        {"?places=2-3", "2\t2 3\t3 "},
        {"?places=2-3&name=c", "3\t3 "},
        {"?places=7-9", ""},
    };
    for (const auto& [query, expected] : filters) EXPECT_EQ(IdsAndPlaces(query), expected) << query;
}

TEST_F(AdminServiceTest, RefusesMalformedRequests) {
    Open(SixEntryBoard());
    const std::vector<std::tuple<std::string, std::string, int>> refusals{
        {"GET", "/entries?places=3-2", 400},
        {"GET", "/entries?places=0-2", 400},
        {"GET", "/entries?since=2024-02-30", 400},
        {"GET", "/entries?colour=red", 400},
        {"GET", "/entries?name=a&name=b", 400},
        {"GET", "/entries?after=5", 400},
        {"GET", "/entries?name=%zz", 400},
        {"POST", "/entries", 405},
        {"GET", "/remove?ids=1", 405},
        {"POST", "/remove", 400},
        {"POST", "/remove?ids=1,x", 400},
        {"POST", "/remove?ids=0", 400},
        {"POST", "/restore?ids=1&reason=why", 400},
        {"POST", "/remove?ids=1&reason=" + std::string(1001, 'x'), 400},
        {"GET", "/backup/nosuchtoken?offset=0", 404},
        {"GET", "/nothing", 404},
    };
    for (const auto& [method, target, status] : refusals) {
        const Reply reply = Admin(method, target);
        EXPECT_EQ(reply.status, status) << method << ' ' << target;
        EXPECT_EQ(std::count(reply.body.begin(), reply.body.end(), '\n'), 1) << target << ": " << reply.body;
    }
    EXPECT_EQ(Read("/BestOffSQL.php"), ExpectedBestOf(RankNaively(SixEntryBoard())));  // nothing changed
}

// Pages continue after the last entry shown, so a score stored between two pages neither
// repeats nor skips an entry; places are those of the moment each page is answered.
TEST_F(AdminServiceTest, ListsALongListPageByPage) {
    std::vector<ScoreEntry> seed;
    for (int i = 0; i < 12000; ++i) seed.push_back({i % 97, "S" + std::to_string(i), "01.01.25"});
    Open(seed);
    std::string cursor;
    std::set<std::string> ids;
    int pages = 0;
    do {
        const Reply page = Admin("GET", "/entries" + (cursor.empty() ? "" : "?after=" + cursor));
        ASSERT_EQ(page.status, 200);
        ++pages;
        std::istringstream lines(page.body);
        std::string head;
        std::getline(lines, head);
        cursor = head == "end" ? "" : head.substr(5);
        std::int64_t previous_place = 0;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t tab = line.find('\t');
            EXPECT_TRUE(ids.insert(line.substr(0, tab)).second) << line;
            const std::int64_t place = std::stoll(line.substr(tab + 1));
            EXPECT_TRUE(previous_place == 0 || place == previous_place + 1) << line;
            previous_place = place;
        }
        if (pages == 1) board_->AddEntry({200, "Neu", "02.01.25"});  // ranks first, before the cursor
    } while (!cursor.empty());
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(ids.size(), 12000u);
    EXPECT_FALSE(ids.contains("12001"));
}

// A file from before moderation existed has the scores table alone; it gets the others.
TEST_F(AdminServiceTest, ADatabaseOfTheEarlierLayoutIsTakenOver) {
    {
        const SqliteConnection old = OpenSqliteConnection(Database(), true);
        ExecuteSql(old.get(),
                   "PRAGMA journal_mode = WAL;"
                   "CREATE TABLE scores (id INTEGER PRIMARY KEY, points INTEGER NOT NULL, name BLOB NOT NULL,"
                   " date TEXT NOT NULL, stored_at INTEGER NOT NULL);"
                   "INSERT INTO scores (points, name, date, stored_at) VALUES"
                   " (10, 'Alt', '01.01.20', 1577836800), (20, 'Neu', '02.01.20', 1577923200)",
                   "cannot make the old file");
    }
    Reopen();
    EXPECT_EQ(IdsAndPlaces(""), "2\t1 1\t2 ");
    ASSERT_EQ(Admin("POST", "/remove?ids=2&reason=alt").status, 200);
    Reopen();
    EXPECT_EQ(IdsAndPlaces(""), "1\t1 ");
    EXPECT_EQ(IdsAndPlaces("?removed=1"), "2\t1 ");
}

TEST_F(AdminServiceTest, TellsTheFigures) {
    Open(SixEntryBoard());
    ASSERT_EQ(Admin("POST", "/remove?ids=2,5").status, 200);
    const std::string stats = Admin("GET", "/stats").body;
    for (const char* line : {"entries listed\t4\n", "entries removed\t2\n", "stored in the last hour\t6\n",
                             "stored in the last day\t6\n", "uptime seconds\t"}) {
        EXPECT_NE(stats.find(line), std::string::npos) << line << " in\n" << stats;
    }
    const std::size_t at = stats.find("database bytes\t");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stoll(stats.substr(at + 15)), 4096);
}

// A copy fetched piece by piece opens as the same list, removals included.
TEST_F(AdminServiceTest, HandsOutABackupInPieces) {
    std::vector<ScoreEntry> seed;
    for (int i = 0; i < 150000; ++i) seed.push_back({i % 1000, "Spieler " + std::to_string(i), "01.01.25"});
    Open(seed);
    ASSERT_EQ(Admin("POST", "/remove?ids=7").status, 200);
    const Reply started = Admin("POST", "/backup");
    ASSERT_EQ(started.status, 200);
    const std::string token = started.body.substr(0, started.body.find(' '));
    const std::int64_t size = std::stoll(started.body.substr(token.size() + 1));
    std::ofstream copy(directory_.path() / "copy.sqlite", std::ios::binary);
    std::int64_t fetched = 0;
    int pieces = 0;
    for (; fetched < size; ++pieces) {
        const Reply piece = Admin("GET", "/backup/" + token + "?offset=" + std::to_string(fetched));
        ASSERT_EQ(piece.status, 200);
        ASSERT_FALSE(piece.body.empty());
        copy << piece.body;
        fetched += static_cast<std::int64_t>(piece.body.size());
    }
    copy.close();
    EXPECT_GT(pieces, 1);
    EXPECT_EQ(Admin("DELETE", "/backup/" + token).status, 200);
    EXPECT_EQ(Admin("GET", "/backup/" + token + "?offset=0").status, 404);
    // Nothing is left beside the database.
    for (const auto& file : std::filesystem::directory_iterator(directory_.path())) {
        EXPECT_EQ(file.path().filename().string().find("backup"), std::string::npos) << file.path();
    }

    const std::string original = Read("/BestOffSQL.php");
    Close();
    SqliteScoreBoard restored(directory_.path() / "copy.sqlite");
    LocalGame game(restored);
    EXPECT_EQ(AnswerGameRequest(game.protocol, {"GET", "/BestOffSQL.php", {}, address_}).value().body, original);
    restored.ReadRanking([](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 149999); });
}

}  // namespace
}  // namespace zorblet::server::testing
