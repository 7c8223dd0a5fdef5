// Keeps tests/fixtures/highscore, the replies the game's reply parser is tested with,
// equal to what the server sends. With ZORBLET_WRITE_FIXTURES=1 it rewrites them.

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fixture_boards.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

struct FixtureReply {
    std::string file;
    std::string target;
};

struct FixtureBoard {
    std::vector<ScoreEntry> entries;
    std::vector<FixtureReply> replies;
};

std::vector<FixtureBoard> FixtureBoards() {
    return {
        {{}, {{"bestof_0.txt", "/BestOffSQL.php"}, {"liste_0_P1.txt", "/ListeSQL.php?Punkte=0"}}},
        {ThreeEntryBoard(),
         {{"bestof_3.txt", "/BestOffSQL.php"},
          {"liste_3_P1.txt", "/ListeSQL.php?Punkte=1000"},
          {"liste_3_P4.txt", "/ListeSQL.php?Punkte=300"}}},
        {FiftyTwoEntryBoard(), {{"bestof_52.txt", "/BestOffSQL.php"}}},
        {SixtyEntryBoard(),
         {{"bestof_60.txt", "/BestOffSQL.php"},
          {"liste_60_P1.txt", "/ListeSQL.php?Punkte=2000"},
          {"liste_60_P3.txt", "/ListeSQL.php?Punkte=1000"},
          {"liste_60_P19.txt", "/ListeSQL.php?Punkte=700"},
          {"liste_60_P61.txt", "/ListeSQL.php?Punkte=-1000"}}},
    };
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

class FixtureTest : public ServerTest {
protected:
    static bool Rewriting() {
        const char* flag = std::getenv("ZORBLET_WRITE_FIXTURES");
        return flag != nullptr && std::string(flag) == "1";
    }

    void CheckReply(const FixtureReply& fixture) {
        const std::filesystem::path file = std::filesystem::path(ZORBLET_FIXTURE_DIR) / fixture.file;
        const HttpReply reply = server_->Get(fixture.target);
        ASSERT_EQ(reply.status, 200) << fixture.target;
        if (Rewriting()) {
            std::ofstream(file, std::ios::binary) << reply.body;
        } else {
            EXPECT_EQ(reply.body, ReadFile(file)) << fixture.file << " no longer matches";
        }
    }
};

TEST_F(FixtureTest, TheServerStillSendsTheFixtureReplies) {
    for (const FixtureBoard& board : FixtureBoards()) {
        StopServer();
        std::filesystem::remove(Database());
        SeedBoard(Database(), board.entries);
        StartServer();
        for (const FixtureReply& fixture : board.replies) CheckReply(fixture);
    }
}

}  // namespace
}  // namespace zorblet::server::testing
