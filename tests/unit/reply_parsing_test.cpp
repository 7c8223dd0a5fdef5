// Cutting the service's replies into fields and table rows: the byte-exact replies of the
// real service, the worked examples, and places and counts the service might report.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "highscore/best_of_reply.h"
#include "highscore/place_list_reply.h"
#include "highscore/reply_fields.h"
#include "highscore/row_format.h"
#include "support/highscore_fixture.h"

namespace zorblet::highscore {
namespace {

std::string Spaces(int count) {
    return std::string(count, ' ');
}

using testing::ReadFixture;

// A reply read line by line, the way a person reads the file, not the way the game cuts it.
struct ReplyLines {
    std::string FirstLine;
    std::vector<std::vector<std::string>> Records;  // points, name, date
};

ReplyLines SplitReply(const std::string& reply) {
    ReplyLines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = reply.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = reply.substr(start, end - start);
        if (start == 0) {
            lines.FirstLine = line;
            continue;
        }
        std::vector<std::string> fields;
        std::size_t from = 0;
        for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
            fields.push_back(line.substr(from, tab - from));
        }
        fields.push_back(line.substr(from));
        lines.Records.push_back(fields);
    }
    return lines;
}

// The row as printf's field widths lay it out: the same columns, nothing cut.
std::string PrintedRow(const char* format, long long rank, const std::vector<std::string>& record) {
    char text[256];
    if (rank == LLONG_MIN) {
        std::snprintf(text, sizeof text, format, record[0].c_str(), record[1].c_str(), record[2].c_str());
    } else {
        std::snprintf(text, sizeof text, format, rank, record[0].c_str(), record[1].c_str(), record[2].c_str());
    }
    return text;
}

std::string PrintedBestOfRow(long long rank, const std::vector<std::string>& record) {
    return PrintedRow("%4lld  %6s  %-24s  %s", rank, record);
}

std::string PrintedPlaceRow(const std::vector<std::string>& record) {
    return PrintedRow("%6s  %-24s  %s", LLONG_MIN, record);
}

// The service sends a record of empty fields for a rank without an entry.
bool IsEntry(const std::vector<std::string>& record) {
    for (const std::string& field : record)
        if (!field.empty()) return true;
    return false;
}

TEST(NextField, CutsUpToTheFirstSeparatorAnywhereInTheRest) {
    const struct {
        std::string Reply;
        std::string Separator;
        std::string Field;
        std::string Rest;
    } cases[] = {
        {"500\tBert\t02.02.24\r\n", "\t", "500", "Bert\t02.02.24\r\n"},
        {"02.02.24\r\n300\t", "\r\n", "02.02.24", "300\t"},
        {"\t\t\r\n", "\t", "", "\t\r\n"},
        {"Bert\r\n300\tAnna", "\t", "Bert\r\n300", "Anna"},  // across the line end
        {"02.02.24", "\r\n", "", "02.02.24"},                // no separator: nothing taken
        {"02.02.24\r", "\r\n", "", "02.02.24\r"},
        {"", "\t", "", ""},
    };
    for (const auto& c : cases) {
        std::string reply = c.Reply;
        EXPECT_EQ(NextField(reply, c.Separator), c.Field) << c.Reply;
        EXPECT_EQ(reply, c.Rest) << c.Reply;
    }
}

TEST(ParseInteger, ReadsAMinusAndDigitsAndSaturates) {
    const struct {
        const char* Field;
        std::int32_t Value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"60", 60},
        {"-50", -50},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
        {"00000000000000000000000012", 12},
        {"12abc", 12},
        {"5 ", 5},
        {"-7\r", -7},
        {"abc", 0},
        {"-", 0},
        {"--5", 0},
        {" 5", 0},
        {"+5", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInteger(c.Field), c.Value) << '"' << c.Field << '"';
}

TEST(RowFormat, ColumnsArePaddedAndNothingIsCut) {
    EXPECT_EQ(FormatBestOfRow(1, "1234", "Anna", "07.05.07"), "   1    1234  Anna" + Spaces(22) + "07.05.07");
    EXPECT_EQ(FormatBestOfRow(1, "1234", "Anna", "07.05.07").size(), 48u);

    const std::string longName(30, 'N');
    const std::string longRow = FormatBestOfRow(1, "1234", longName, "07.05.07");
    EXPECT_EQ(longRow.substr(14, 30), longName) << "a long name stays whole";
    EXPECT_EQ(longRow.find("07.05.07"), 40u + 6u) << "and moves the date right";

    EXPECT_EQ(FormatBestOfRow(123456, "12345678", "", ""), "123456  12345678" + Spaces(28));
    EXPECT_EQ(FormatBestOfRow(-4, "", "", ""), "  -4" + Spaces(36));
    EXPECT_EQ(FormatPlaceRow("300", "Cleo", "03.02.24"), "   300  Cleo" + Spaces(22) + "03.02.24");
}

class BestOfFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(BestOfFixture, EveryRowOfTheServicesReply) {
    const std::string reply = ReadFixture(GetParam());
    const ReplyLines lines = SplitReply(reply);
    ASSERT_EQ(lines.Records.size(), 55u);
    const long long count = std::stoll(lines.FirstLine);

    std::string replyText = reply;
    const BestOfUpdate update = ParseBestOf(replyText);
    EXPECT_EQ(update.EntryCount, count);
    EXPECT_EQ(replyText, "") << "the whole reply is read";
    ASSERT_EQ(update.Rows.FirstRow, 0);
    const std::vector<std::string>& rows = update.Rows.Rows;
    ASSERT_EQ(rows.size(), 59u);
    EXPECT_EQ(rows[0], "     Zorblet hat " + lines.FirstLine + " HighScore-Eintr\xE4ge");
    EXPECT_EQ(rows[1], "");
    // Only entries get rows; of the last five only ranks past the top fifty, and the gap
    // stands before them.
    for (int index = 2; index <= 51; ++index) {
        const std::vector<std::string>& record = lines.Records[index - 2];
        EXPECT_EQ(rows[index], IsEntry(record) ? PrintedBestOfRow(index - 1, record) : "") << "row " << index;
    }
    bool bottomShown = false;
    for (int index = 58; index >= 54; --index) {
        const std::vector<std::string>& record = lines.Records[50 + 58 - index];
        const long long rank = count + index - 58;
        const bool shown = IsEntry(record) && rank > 50;
        bottomShown = bottomShown || shown;
        EXPECT_EQ(rows[index], shown ? PrintedBestOfRow(rank, record) : "") << "row " << index;
    }
    EXPECT_EQ(rows[52], bottomShown ? " ...     ...  ...                       ..." : "");
    EXPECT_EQ(rows[53], rows[52]);
}

INSTANTIATE_TEST_SUITE_P(ServiceReplies, BestOfFixture,
                         ::testing::Values("bestof_0.txt", "bestof_3.txt", "bestof_52.txt", "bestof_60.txt"));

TEST(BestOfReply, RowsOfTheServicesReplyReadAsTheTableShowsThem) {
    std::string replyText = ReadFixture("bestof_60.txt");
    const std::vector<std::string> rows = ParseBestOf(replyText).Rows.Rows;
    EXPECT_EQ(rows[0], "     Zorblet hat 60 HighScore-Eintr\xE4ge");
    EXPECT_EQ(rows[2], "   1    1000  M\xFCller 18" + Spaces(17) + "19.07.24");
    EXPECT_EQ(rows[3], "   2    1000  ABCDEFGHIJKLMNOPQRSTUVWX  14.06.24");
    EXPECT_EQ(rows[4], "   3     950  \x80uro \xA7 5 13" + Spaces(15) + "14.02.24");
    EXPECT_EQ(rows[43], "  42     200   Leerzeichen " + Spaces(13) + "08.08.24") << "the name's spaces stay";
    EXPECT_EQ(rows[58], "  60    -100  \xC4rger & Co 46" + Spaces(13) + "19.11.24") << "last place first";
    EXPECT_EQ(rows[54], "  56     -50  \xC4rger & Co 28" + Spaces(13) + "01.05.24");

    // A short list: its entries once, at the top; no ranks without entries, none below 1.
    replyText = ReadFixture("bestof_3.txt");
    const std::vector<std::string> three = ParseBestOf(replyText).Rows.Rows;
    EXPECT_EQ(three[0], "     Zorblet hat 3 HighScore-Eintr\xE4ge");
    EXPECT_EQ(three[4], "   3     300  Cleo" + Spaces(22) + "03.02.24");
    const std::vector<std::string> none(three.begin() + 5, three.end());
    EXPECT_EQ(none, std::vector<std::string>(54, "")) << "rows 5..58";

    // Two past the top fifty: ranks 51 and 52 below the gap, the other three of the last
    // five (48..50) not twice.
    replyText = ReadFixture("bestof_52.txt");
    const std::vector<std::string> fiftyTwo = ParseBestOf(replyText).Rows.Rows;
    EXPECT_EQ(fiftyTwo[51].substr(0, 4), "  50");
    EXPECT_EQ(fiftyTwo[52], BestOfGapRow);
    EXPECT_EQ(fiftyTwo[54] + fiftyTwo[55] + fiftyTwo[56], "");
    EXPECT_EQ(fiftyTwo[57].substr(0, 4), "  51");
    EXPECT_EQ(fiftyTwo[58].substr(0, 4), "  52");
}

TEST(BestOfReply, AnEmptyReplyGivesZeroEntriesAndNoRows) {
    std::string replyText;
    const BestOfUpdate update = ParseBestOf(replyText);
    EXPECT_EQ(update.EntryCount, 0);
    EXPECT_EQ(update.Rows.Rows[0], "     Zorblet hat 0 HighScore-Eintr\xE4ge");
    const std::vector<std::string> rest(update.Rows.Rows.begin() + 1, update.Rows.Rows.end());
    EXPECT_EQ(rest, std::vector<std::string>(58, ""));
}

TEST(BestOfReply, CountsNearTheIntegerLimitsRankTheLastFiveExactly) {
    const struct {
        const char* FirstLine;
        std::int32_t Count;
        const char* Rank58;  // empty: not shown, as no rank past 50
        const char* Rank54;
    } cases[] = {
        {"2147483647", INT_MAX, "2147483647", "2147483643"},
        {"99999999999", INT_MAX, "2147483647", "2147483643"},
        {"-2147483648", INT_MIN, "", ""},
        {"-99999999999", INT_MIN, "", ""},
        {"2", 2, "", ""},
        {"53", 53, "53", ""},
    };
    for (const auto& c : cases) {
        std::string replyText = std::string(c.FirstLine) + "\r\n";
        for (int record = 0; record < 55; ++record) replyText += "7\tX\tD\r\n";
        const BestOfUpdate update = ParseBestOf(replyText);
        EXPECT_EQ(update.EntryCount, c.Count) << c.FirstLine;
        EXPECT_EQ(update.Rows.Rows[0], "     Zorblet hat " + std::to_string(c.Count) + " HighScore-Eintr\xE4ge");
        const auto row = [](std::string rank) {
            return rank.empty() ? rank : PadLeft(rank, 4) + "       7  X" + Spaces(23) + "  D";
        };
        EXPECT_EQ(update.Rows.Rows[58], row(c.Rank58)) << c.FirstLine;
        EXPECT_EQ(update.Rows.Rows[54], row(c.Rank54)) << c.FirstLine;
    }
}

struct PlaceFixtureCase {
    const char* File;
    std::int32_t Place;
    std::int32_t FirstRow;
};

class PlaceListFixture : public ::testing::TestWithParam<PlaceFixtureCase> {};

TEST_P(PlaceListFixture, EveryRowOfTheServicesReply) {
    const PlaceFixtureCase& c = GetParam();
    const std::string reply = ReadFixture(c.File);
    const ReplyLines lines = SplitReply(reply);

    std::string replyText = reply;
    const PlaceListUpdate update = ParsePlaceList(replyText);
    EXPECT_EQ(update.ScorePlace, c.Place);
    EXPECT_EQ(replyText, "") << "exactly the records the place asks for";
    EXPECT_EQ(update.Rows.FirstRow, c.FirstRow);
    ASSERT_EQ(update.Rows.Rows.size(), lines.Records.size());

    std::vector<std::string> highscoreRows(HighscoreRowCount, "earlier");
    ApplyRowsUpdate(highscoreRows, update.Rows);
    for (int index = 0; index <= LastRowIndex; ++index) {
        const int record = index - c.FirstRow;
        if (record >= 0 && record < std::ssize(lines.Records)) {
            const std::vector<std::string>& fields = lines.Records[record];
            EXPECT_EQ(highscoreRows[index], IsEntry(fields) ? PrintedPlaceRow(fields) : "") << "row " << index;
        } else if (highscoreRows[index] != "earlier") {
            ADD_FAILURE() << "row " << index << " was written";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ServiceReplies, PlaceListFixture,
    ::testing::Values(PlaceFixtureCase{"liste_0_P1.txt", 1, 0}, PlaceFixtureCase{"liste_3_P1.txt", 1, 0},
                      PlaceFixtureCase{"liste_3_P4.txt", 4, 0}, PlaceFixtureCase{"liste_60_P1.txt", 1, 0},
                      PlaceFixtureCase{"liste_60_P3.txt", 3, 0}, PlaceFixtureCase{"liste_60_P19.txt", 19, 10},
                      PlaceFixtureCase{"liste_60_P61.txt", 61, 52}));

TEST(PlaceListReply, RowsOfTheServicesReplyReadAsTheTableShowsThem) {
    std::string replyText = ReadFixture("liste_60_P19.txt");
    const PlaceListUpdate update = ParsePlaceList(replyText);
    EXPECT_EQ(update.Rows.Rows.front(), "   850  \x80uro \xA7 5 49" + Spaces(15) + "22.02.24");
    EXPECT_EQ(update.Rows.Rows.back(), "   600  \xC4rger & Co" + Spaces(16) + "02.02.24");

    replyText = ReadFixture("liste_60_P61.txt");
    EXPECT_EQ(ParsePlaceList(replyText).Rows.Rows.back(), "") << "ranks past the last entry have no row";
}

// A reply with P and fourteen records "k TAB Nk TAB D CR LF", k = 1..14.
std::string NumberedReply(const std::string& firstLine) {
    std::string reply = firstLine + "\r\n";
    for (int k = 1; k <= 14; ++k) reply += std::to_string(k) + "\tN" + std::to_string(k) + "\tD\r\n";
    return reply;
}

std::string RecordsAfter(int consumed) {
    std::string rest = NumberedReply("");
    for (int k = 0; k <= consumed; ++k) rest.erase(0, rest.find("\r\n") + 2);
    return rest;
}

TEST(PlaceListReply, AnyReportedPlaceWritesOnlyRowsInsideTheTable) {
    const struct {
        const char* FirstLine;
        std::int32_t Place;
        int Consumed;  // records read off the reply
        std::int32_t FirstRow;
        int Stored;
    } cases[] = {
        {"0", 0, 3, 0, 3},
        {"1", 1, 4, 0, 4},
        {"3", 3, 6, 0, 6},
        {"8", 8, 11, 0, 11},
        {"9", 9, 12, 0, 12},
        {"20", 20, 12, 11, 12},
        {"9998", 9998, 12, 9989, 12},
        {"9999", 9999, 12, 9990, 11},
        {"10009", 10009, 12, 10000, 1},
        {"10010", 10010, 12, 0, 0},
        {"2147483647", INT_MAX, 12, 0, 0},
        {"99999999999", INT_MAX, 12, 0, 0},
        {"-1", -1, 2, 0, 2},
        {"-2", -2, 1, 0, 1},
        {"-3", -3, 0, 0, 0},
        {"-5", -5, 0, 0, 0},
        {"-2147483648", INT_MIN, 0, 0, 0},
    };
    for (const auto& c : cases) {
        std::string replyText = NumberedReply(c.FirstLine);
        const PlaceListUpdate update = ParsePlaceList(replyText);
        EXPECT_EQ(update.ScorePlace, c.Place) << c.FirstLine;
        EXPECT_EQ(replyText, RecordsAfter(c.Consumed)) << c.FirstLine;
        EXPECT_EQ(update.Rows.FirstRow, c.FirstRow) << c.FirstLine;
        ASSERT_EQ(std::ssize(update.Rows.Rows), c.Stored) << c.FirstLine;
        if (c.Stored == 0) continue;
        // Row i holds the entry ranked i + 1, which the reply lists as record i + 1 - max(1, P - 8) + 1.
        const std::int64_t firstRank = std::max<std::int64_t>(1, std::int64_t{c.Place} - 8);
        const std::int64_t record = c.FirstRow + 1 - firstRank + 1;
        EXPECT_EQ(update.Rows.Rows.front().substr(0, 6), PadLeft(std::to_string(record), 6)) << c.FirstLine;

        std::vector<std::string> highscoreRows(HighscoreRowCount);
        ApplyRowsUpdate(highscoreRows, update.Rows);
        EXPECT_EQ(highscoreRows[c.FirstRow + c.Stored - 1], update.Rows.Rows.back()) << c.FirstLine;
    }
}

TEST(PlaceListReply, AReplyWithoutItsLastLineEndLeavesTheDateInTheReplyText) {
    std::string replyText = "1\r\n500\tBert\t02.02.24";
    const PlaceListUpdate update = ParsePlaceList(replyText);
    EXPECT_EQ(replyText, "02.02.24");
    ASSERT_EQ(update.Rows.Rows.size(), 4u);
    EXPECT_EQ(update.Rows.Rows[0], "   500  Bert" + Spaces(22)) << "an empty date";
    EXPECT_EQ(update.Rows.Rows[3], "");

    replyText = "";
    const PlaceListUpdate empty = ParsePlaceList(replyText);
    EXPECT_EQ(empty.ScorePlace, 0);
    EXPECT_EQ(empty.Rows.Rows, std::vector<std::string>(3, ""));
}

TEST(PlaceListReply, ARecordWithoutItsTabTakesItsFieldsAcrossTheLineEnd) {
    std::string replyText = "1\r\n500 Bert\r\n300\tAnna\t01.02.24\r\n";
    const PlaceListUpdate update = ParsePlaceList(replyText);
    EXPECT_EQ(update.Rows.Rows[0], FormatPlaceRow("500 Bert\r\n300", "Anna", "01.02.24"));
}

}  // namespace
}  // namespace zorblet::highscore
