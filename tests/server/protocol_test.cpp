// The three replies, byte for byte, against the real server.

#include <algorithm>

#include "fixture_boards.h"
#include "server_test.h"

namespace zorblet::server::testing {
namespace {

using ProtocolTest = ServerTest;

// Splits a best-of or place-list reply into its records' fields.
std::vector<std::vector<std::string>> SplitRecords(const std::string& reply) {
    std::vector<std::vector<std::string>> records;
    std::size_t start = reply.find("\r\n") + 2;
    for (std::size_t end; (end = reply.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = reply.substr(start, end - start);
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        records.push_back({line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    return records;
}

TEST_F(ProtocolTest, BestOfWithoutEntriesIsACountOfZeroAnd55EmptyRecords) {
    StartServer();
    const HttpReply reply = server_->Get("/BestOffSQL.php");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.content_type, "text/plain; charset=windows-1252");
    EXPECT_EQ(reply.body, "0\r\n" + EmptyRecords(55));
    EXPECT_EQ(server_->Get("/ListeSQL.php?Punkte=0").body, "1\r\n" + EmptyRecords(4));
}

TEST_F(ProtocolTest, BestOfWithThreeEntriesPadsBothPartsWithEmptyRecords) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer();
    const std::string anna = "300\tAnna\t01.02.24\r\n";
    const std::string bert = "500\tBert\t02.02.24\r\n";
    const std::string cleo = "300\tCleo\t03.02.24\r\n";
    EXPECT_EQ(server_->Get("/BestOffSQL.php").body,
              "3\r\n" + bert + anna + cleo + EmptyRecords(47) +  // ranks 1..50
                  cleo + anna + bert + EmptyRecords(2));         // ranks 3, 2, 1, 0, -1
    // Equal points place behind the earlier entries.
    EXPECT_EQ(server_->Get("/ListeSQL.php?Punkte=300").body, "4\r\n" + bert + anna + cleo + EmptyRecords(4));
}

TEST_F(ProtocolTest, BestOfWithSixtyEntriesShowsTheTopFiftyAndTheLastFiveBackwards) {
    SeedBoard(Database(), SixtyEntryBoard());
    StartServer();
    EXPECT_EQ(server_->Get("/BestOffSQL.php").body, ExpectedBestOf(RankNaively(SixtyEntryBoard())));
}

TEST_F(ProtocolTest, PlaceListsHonourTiesAndBothEndsOfTheList) {
    const std::vector<ScoreEntry> board = SixtyEntryBoard();
    SeedBoard(Database(), board);
    StartServer();
    const std::vector<ScoreEntry> ranked = RankNaively(board);
    const std::int32_t top = ranked.front().points;
    const std::int32_t bottom = ranked.back().points;
    // Above all, tied with the best, inside a tie, between scores, tied with the last,
    // below all, and the ends of the 32-bit range.
    for (std::int32_t points : {top + 1, top, 400, 425, bottom, bottom - 1, 2147483647, -2147483647 - 1}) {
        EXPECT_EQ(server_->Get("/ListeSQL.php?Punkte=" + std::to_string(points)).body,
                  ExpectedPlaceList(ranked, points))
            << points;
    }
}

TEST_F(ProtocolTest, AScoreSubmittedRightAfterAskingLandsOnThePlaceAnnounced) {
    SeedBoard(Database(), ThreeEntryBoard());
    StartServer();
    for (const auto& [points, name] :
         std::vector<std::pair<int, std::string>>{{500, "Dora"}, {300, "Emil"}, {1000, "Fritz"}, {-5, "Gabi"}}) {
        const std::int64_t place = FirstNumber(server_->Get("/ListeSQL.php?Punkte=" + std::to_string(points)).body);
        ASSERT_EQ(server_->Get(SubmitTarget(points, name)).status, 200);
        const auto records = SplitRecords(server_->Get("/BestOffSQL.php").body);
        ASSERT_GE(records.size(), static_cast<std::size_t>(place));
        EXPECT_EQ(records[place - 1][0], std::to_string(points)) << name;
        EXPECT_EQ(records[place - 1][1], name);
    }
    EXPECT_EQ(CountEntries(), 7);
}

TEST_F(ProtocolTest, TheBasePathIsConfigurableAndOtherPathsAreNotFound) {
    StartServer({"--base-path", "/zorblet/"});
    EXPECT_EQ(server_->Get("/zorblet/BestOffSQL.php").status, 200);
    EXPECT_EQ(server_->Get("/zorblet/HighScoreSQL.php?Punkte=1000&Name=Max&Check=1268561201518").status, 200);
    EXPECT_EQ(server_->Get("/BestOffSQL.php").status, 404);
    EXPECT_EQ(server_->Get("/zorblet/BestOffSQL.php/x").status, 404);
    EXPECT_EQ(server_->Get("/zorblet/index.php").status, 404);  // the base path itself is the page
    EXPECT_EQ(FirstNumber(server_->Get("/zorblet/BestOffSQL.php").body), 1);
}

TEST_F(ProtocolTest, OnlyGetChangesTheListAndHeadProbesTheReads) {
    StartServer();
    EXPECT_EQ(server_->Get("/BestOffSQL.php", "HEAD").status, 200);
    EXPECT_EQ(server_->Get("/HighScoreSQL.php?Punkte=1000&Name=Max&Check=1268561201518", "HEAD").status, 405);
    EXPECT_EQ(server_->Get("/HighScoreSQL.php?Punkte=1000&Name=Max&Check=1268561201518", "POST").status, 405);
    EXPECT_EQ(server_->Get("/BestOffSQL.php", "DELETE").status, 405);
    EXPECT_EQ(CountEntries(), 0);
}

}  // namespace
}  // namespace zorblet::server::testing
