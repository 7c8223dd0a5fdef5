// Every malformed submission is refused with 400 and a one-line reason, and stores
// nothing; well-formed names with awkward bytes are stored exactly.

#include "fixture_boards.h"
#include "highscore/check_text.h"
#include "server_test.h"
#include "store/sqlite/sqlite_score_board.h"

namespace zorblet::server::testing {
namespace {

using RejectionTest = ServerTest;

struct RefusedCase {
    std::string what;
    std::string query;  // after "HighScoreSQL.php?"
};

// A query with a correct check value for the given points and (encoded) name.
std::string Query(std::int32_t points, const std::string& encoded_name, const std::string& name) {
    return "Punkte=" + std::to_string(points) + "&Name=" + encoded_name +
           "&Check=" + highscore::BuildCheckText(points, name);
}

std::vector<RefusedCase> RefusedSubmissions() {
    const std::string max_check = "&Check=1268561201518";  // 1000 points, a name starting M
    return {
        {"no Punkte", "Name=Max" + max_check},
        {"no Name", "Punkte=1000" + max_check},
        {"no Check", "Punkte=1000&Name=Max"},
        {"Punkte twice", "Punkte=1000&Punkte=1000&Name=Max" + max_check},
        {"Name twice", "Punkte=1000&Name=Max&Name=Max" + max_check},
        {"Check twice", "Punkte=1000&Name=Max" + max_check + max_check},
        {"Punkte empty", "Punkte=&Name=Max" + max_check},
        {"Punkte with a letter", "Punkte=1000a&Name=Max" + max_check},
        {"Punkte with a plus sign", "Punkte=%2B1000&Name=Max" + max_check},
        {"Punkte with a space", "Punkte=+1000&Name=Max" + max_check},
        {"Punkte a lone minus", "Punkte=-&Name=Max" + max_check},
        {"Punkte two minus signs", "Punkte=--1000&Name=Max" + max_check},
        {"Punkte a fraction", "Punkte=1000.0&Name=Max" + max_check},
        {"Punkte of 11 digits", "Punkte=00000001000&Name=Max" + max_check},
        {"Punkte above 32 bits", "Punkte=2147483648&Name=Max&Check=" + highscore::BuildCheckText(-2147483647 - 1, "M")},
        {"Punkte below 32 bits", "Punkte=-2147483649&Name=Max&Check=" + highscore::BuildCheckText(2147483647, "M")},
        {"Name empty", "Punkte=1000&Name=&Check=" + highscore::BuildCheckText(1000, "")},
        {"Name of 25 characters", Query(1000, "ABCDEFGHIJKLMNOPQRSTUVWXY", "A")},
        {"Name with TAB", Query(1000, "Max%09Mu", "M")},
        {"Name with CR", Query(1000, "Max%0D", "M")},
        {"Name with LF", Query(1000, "Max%0A", "M")},
        {"Name with CR LF", Query(1000, "Max%0D%0A1%09x%09y", "M")},
        {"Name with NUL", Query(1000, "Max%00", "M")},
        {"Name with 0x1F", Query(1000, "Max%1F", "M")},
        {"Name with DEL", Query(1000, "Max%7F", "M")},
        {"Name with undefined 0x81", Query(1000, "Max%81", "M")},
        {"Name with undefined 0x8D", Query(1000, "Max%8D", "M")},
        {"Name with undefined 0x8F", Query(1000, "Max%8F", "M")},
        {"Name with undefined 0x90", Query(1000, "Max%90", "M")},
        {"Name with undefined 0x9D", Query(1000, "Max%9D", "M")},
        {"Name with a broken escape", "Punkte=1000&Name=Max%zz" + max_check},
        {"Name with a %u escape", "Punkte=1000&Name=%u004Dax" + max_check},
        {"Name with a truncated escape", "Punkte=1000&Name=Max%4" + max_check},
        {"Check of other points", "Punkte=1001&Name=Max" + max_check},
        {"Check of another initial", "Punkte=1000&Name=Nina" + max_check},
        {"Check from the undecoded name", Query(1000, "%C4rger", "%")},
        {"Check with a trailing space", "Punkte=1000&Name=Max" + max_check + "+"},
        {"Check empty", "Punkte=1000&Name=Max&Check="},
    };
}

bool IsOneLine(const std::string& body) {
    return body.size() > 2 && body.find_first_of("\r\n") == body.size() - 2 && body.ends_with("\r\n");
}

TEST_F(RejectionTest, MalformedSubmissionsAreRefusedAndStoreNothing) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer();
    for (const RefusedCase& c : RefusedSubmissions()) {
        const HttpReply reply = server_->Get("/HighScoreSQL.php?" + c.query);
        EXPECT_EQ(reply.status, 400) << c.what;
        EXPECT_TRUE(IsOneLine(reply.body)) << c.what << ": " << reply.body;
        EXPECT_EQ(reply.content_type, "text/plain; charset=windows-1252") << c.what;
        EXPECT_EQ(CountEntries(), 3) << c.what << " was stored";
    }
    StopServer();
    SqliteScoreBoard board(Database());  // nothing reached the file either
    board.ReadRanking([](const RankedView& view) { EXPECT_EQ(view.CountEntries(), 3); });
}

TEST_F(RejectionTest, PlaceListsRefuseMalformedPoints) {
    StartServer();
    for (const std::string query :
         {"", "Punkte=", "Punkte=abc", "Punkte=1&Punkte=2", "Punkte=99999999999", "Punkte=%zz"}) {
        const HttpReply reply = server_->Get("/ListeSQL.php?" + query);
        EXPECT_EQ(reply.status, 400) << query;
        EXPECT_TRUE(IsOneLine(reply.body)) << query;
    }
}

TEST_F(RejectionTest, AwkwardButValidNamesAndPointsAreStoredVerbatim) {
    StartServer();
    const std::vector<ScoreEntry> accepted{
        {-2147483647 - 1, "'); DROP TABLE scores;--", ""},
        {2147483647, "ABCDEFGHIJKLMNOPQRSTUVWX", ""},
        {0, "\x80 \xFF \xC4\xD6\xDC\xE4\xF6\xFC\xDF \xA7", ""},
        {7, "%41 + & = ? # \" \\ '", ""},
        {8, " ", ""},
    };
    for (const ScoreEntry& entry : accepted) {
        EXPECT_EQ(server_->Get(SubmitTarget(entry.points, entry.name)).body, "OK") << entry.name;
    }
    // Leading zeros still make at most 10 digits.
    EXPECT_EQ(
        server_->Get("/HighScoreSQL.php?Punkte=0000000042&Name=Max&Check=" + highscore::BuildCheckText(42, "M")).status,
        200);
    const std::string best_of = server_->Get("/BestOffSQL.php").body;
    for (const ScoreEntry& entry : accepted) {
        EXPECT_NE(best_of.find(std::to_string(entry.points) + "\t" + entry.name + "\t"), std::string::npos)
            << entry.name;
    }
    EXPECT_NE(best_of.find("42\tMax\t"), std::string::npos);
    EXPECT_EQ(FirstNumber(best_of), 6);
}

}  // namespace
}  // namespace zorblet::server::testing
