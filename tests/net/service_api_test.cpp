// The service's JSON answers as the game reads them: what makes a ticket, a stored record,
// a refusal's sentence and a list entry, and what is refused whole.

#include "highscore/service_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace zorblet::highscore::api_tests {
namespace {

using namespace std::chrono_literals;
using std::chrono::sys_days;

const WallTime Noon = WallTime(sys_days(std::chrono::year(2026) / 12 / 11).time_since_epoch() + 12h);

std::string TicketAnswer(const std::string& ticket, const std::string& seed, const std::string& expires) {
    return R"({"ticket": )" + ticket + R"(, "seed": )" + seed + R"(, "expires": )" + expires + "}";
}

TEST(TicketAnswer, AWellFormedAnswerIsATicketAndAnythingElseIsNone) {
    const std::string tomorrow = R"("2026-12-12T12:00:00Z")";
    const std::string longest(512, 't');
    struct Case {
        const char* Name;
        std::string Body;
        std::optional<Ticket> Expected;
    } const cases[] = {
        {"good", TicketAnswer(R"("v1.MTIz.abc")", "4294967295", tomorrow),
         Ticket{"v1.MTIz.abc", 4294967295u, Noon + 24h}},
        {"an offset and a fraction", TicketAnswer(R"("a")", "0", R"("2026-12-12T13:00:00.125+01:00")"),
         Ticket{"a", 0, Noon + 24h}},
        {"fields in another order, and one more",
         R"({"expires": "2026-12-11T12:00:01Z", "note": [1, {"x": null}], "seed": 17, "ticket": "b"})",
         Ticket{"b", 17, Noon + 1s}},
        {"the longest ticket", TicketAnswer("\"" + longest + "\"", "1", tomorrow), Ticket{longest, 1, Noon + 24h}},
        {"cut short", R"({"ticket": "a", "seed": 1, "expires": "2026-12-12T12:00:00Z")", std::nullopt},
        {"empty", "", std::nullopt},
        {"an error page", "<html><body>404 Not Found</body></html>", std::nullopt},
        {"null", "null", std::nullopt},
        {"an array", "[" + TicketAnswer(R"("a")", "1", tomorrow) + "]", std::nullopt},
        {"text after it", TicketAnswer(R"("a")", "1", tomorrow) + " x", std::nullopt},
        {"a comment", "/* */" + TicketAnswer(R"("a")", "1", tomorrow), std::nullopt},
        {"no ticket", R"({"seed": 1, "expires": "2026-12-12T12:00:00Z"})", std::nullopt},
        {"no seed", R"({"ticket": "a", "expires": "2026-12-12T12:00:00Z"})", std::nullopt},
        {"no expiry", R"({"ticket": "a", "seed": 1})", std::nullopt},
        {"an empty ticket", TicketAnswer(R"("")", "1", tomorrow), std::nullopt},
        {"a ticket too long for a record", TicketAnswer("\"" + longest + "x\"", "1", tomorrow), std::nullopt},
        {"a ticket that is no text", TicketAnswer("17", "1", tomorrow), std::nullopt},
        {"a ticket of broken UTF-8", TicketAnswer("\"a\xC3(\"", "1", tomorrow), std::nullopt},
        {"a seed of 2^32", TicketAnswer(R"("a")", "4294967296", tomorrow), std::nullopt},
        {"a seed past 64 bits", TicketAnswer(R"("a")", "18446744073709551616", tomorrow), std::nullopt},
        {"a negative seed", TicketAnswer(R"("a")", "-1", tomorrow), std::nullopt},
        {"a seed with a fraction", TicketAnswer(R"("a")", "5.0", tomorrow), std::nullopt},
        {"a seed with an exponent", TicketAnswer(R"("a")", "1e3", tomorrow), std::nullopt},
        {"a seed as text", TicketAnswer(R"("a")", R"("5")", tomorrow), std::nullopt},
        {"expired", TicketAnswer(R"("a")", "1", R"("2026-12-11T11:59:59Z")"), std::nullopt},
        {"expiring now", TicketAnswer(R"("a")", "1", R"("2026-12-11T12:00:00Z")"), std::nullopt},
        {"an expiry without a zone", TicketAnswer(R"("a")", "1", R"("2026-12-12T12:00:00")"), std::nullopt},
        {"an expiry on no day", TicketAnswer(R"("a")", "1", R"("2026-02-30T12:00:00Z")"), std::nullopt},
        {"an expiry as a number", TicketAnswer(R"("a")", "1", "1797000000"), std::nullopt},
        {"oversized", TicketAnswer(R"("a")", "1", tomorrow).insert(1, R"("pad": ")" + std::string(4100, ' ') + "\", "),
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::optional<Ticket> ticket = ParseTicketAnswer(c.Body, Noon);
        ASSERT_EQ(ticket.has_value(), c.Expected.has_value());
        if (ticket) {
            EXPECT_EQ(*ticket, *c.Expected);
        }
    }
}

TEST(IsoTime, TheServicesTimesAndNothingElse) {
    const WallTime epoch{};
    EXPECT_EQ(ParseIsoTime("1970-01-01T00:00:00Z"), epoch);
    EXPECT_EQ(ParseIsoTime("1970-01-01t01:00:00.5+01:00"), epoch);
    EXPECT_EQ(ParseIsoTime("1969-12-31T23:30:00-00:30"), epoch);
    EXPECT_EQ(ParseIsoTime("2024-02-29T23:59:59z"), WallTime(sys_days(std::chrono::year(2024) / 3 / 1).time_since_epoch() - 1s));
    for (const char* bad : {"", "2026-12-11", "2026-12-11T12:00Z", "2026-12-11T12:00:00", "2026-12-11 12:00:00Z",
                            "2026-13-01T00:00:00Z", "2025-02-29T00:00:00Z", "2026-12-11T24:00:00Z",
                            "2026-12-11T12:00:00.Z", "2026-12-11T12:00:00+1:00", "2026-12-11T12:00:00+01:00x",
                            "+2026-12-11T12:00:00Z", "2026-12-11T12:00:00ZZ"}) {
        EXPECT_FALSE(ParseIsoTime(bad)) << bad;
    }
}

TEST(StoredAnswer, TheEntryTheServiceMadeOrNothing) {
    const auto stored = ParseStoredAnswer(R"({"id": 1207, "place": 3, "points": 4617, "verified": true})");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Id, 1207);
    EXPECT_EQ(stored->Place, 3);
    EXPECT_EQ(stored->Points, 4617);
    EXPECT_TRUE(stored->Verified);
    EXPECT_EQ(ParseStoredAnswer(R"({"id": 1, "place": 1, "points": -30, "verified": false})")->Points, -30);
    for (const char* bad :
         {"", "OK", R"({"id": 1, "place": 1, "points": 5})", R"({"id": 1, "place": 1, "points": 5, "verified": 1})",
          R"({"id": 1, "place": 1.5, "points": 5, "verified": true})",
          R"({"id": 1, "place": 1, "points": 2147483648, "verified": true})", R"({"error": "x", "text": "y"})"}) {
        EXPECT_FALSE(ParseStoredAnswer(bad)) << bad;
    }
}

TEST(RefusalText, TheGermanSentenceInTheGamesCodePageWhenItsFontsCanShowIt) {
    struct Case {
        std::string Body;
        std::optional<std::string> Shown;
    } const cases[] = {
        {R"({"error": "replay_mismatch", "text": "Die Partie ergibt andere Punkte als gemeldet."})",
         "Die Partie ergibt andere Punkte als gemeldet."},
        {R"({"error": "ticket_reused", "text": "Diese Partie wurde schon gemeldet – für 5 €."})",
         "Diese Partie wurde schon gemeldet \x96 f\xFCr 5 \x80."},
        {R"({"text": "Schon \u00fcbertragen."})", "Schon \xFC" "bertragen."},
        {R"({"error": "x", "text": ")" + std::string(MaxRefusalCharacters, 'a') + "\"}",
         std::string(MaxRefusalCharacters, 'a')},
        {R"({"error": "x", "text": ")" + std::string(MaxRefusalCharacters + 1, 'a') + "\"}",
         std::string(MaxRefusalCharacters - 1, 'a') + "\x85"},
        {R"({"error": "x", "text": "Diese Liste nimmt nur gepr\u00fcfte Partien an, keine Punkte allein mehr."})",
         "Diese Liste nimmt nur gepr\xFC" "fte Partien an, keine\x85"},
        {R"({"error": "record_malformed"})", std::nullopt},
        {R"({"error": "x", "text": ""})", std::nullopt},
        {R"({"error": "x", "text": 17})", std::nullopt},
        {R"({"error": "x", "text": "Pfeil → nein"})", std::nullopt},
        {R"({"error": "x", "text": "zwei\nZeilen"})", std::nullopt},
        {"<html>Forbidden</html>", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRefusalText(c.Body), c.Shown) << c.Body;
    }
}

// HighScoreSQL.php's 403: the list's JSON reason, or a plain line in UTF-8 or in the
// game's code page; never a proxy's page.
TEST(RefusalText, OfTheSeedsRequestAsJsonOrAsAPlainLine) {
    struct Case {
        std::string Body;
        std::optional<std::string> Shown;
    } const cases[] = {
        {R"({"error": "unverified_refused", "text": "Nur geprüfte Partien."})", "Nur gepr\xFC" "fte Partien."},
        {R"({"error": "unverified_refused"})", std::nullopt},
        {"Nur gepr\xC3\xBC" "fte Partien z\xC3\xA4hlen.\r\n", "Nur gepr\xFC" "fte Partien z\xE4hlen."},
        {"Nur gepr\xFC" "fte Partien.\r\nzweite Zeile\r\n", "Nur gepr\xFC" "fte Partien."},
        {"Nur gepr\xFC" "fte Partien.  \n", "Nur gepr\xFC" "fte Partien."},
        {"<html><body>403 Forbidden</body></html>", std::nullopt},
        {"Pfeil \xE2\x86\x92 nein", std::nullopt},
        {"Tab\tim Satz", std::nullopt},
        {"\x81\x8D", std::nullopt},  // bytes the code page leaves undefined
        {"", std::nullopt},
        {"\r\n", std::nullopt},
        {std::string(MaxSubmissionAnswerBytes + 1, 'a'), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSeedRefusalText(c.Body), c.Shown) << c.Body;
    }
}

TEST(EntryAnswer, TheFirstEntryWithItsIdAndWhetherItIsVerified) {
    const EntryAnswer verified = ParseEntryAnswer(R"({"total": 3, "entries": [
        {"place": 2, "points": 900, "name": "J\u00fcrgen", "date": "2026-12-11", "id": 41, "verified": true}]})");
    ASSERT_TRUE(verified.Readable);
    ASSERT_TRUE(verified.Entry);
    EXPECT_EQ(verified.Entry->Place, 2);
    EXPECT_EQ(verified.Entry->Points, 900);
    EXPECT_EQ(verified.Entry->Name, "J\xC3\xBCrgen");
    EXPECT_EQ(verified.Entry->Id, 41);
    EXPECT_TRUE(verified.Entry->Verified);

    const EntryAnswer older = ParseEntryAnswer(R"({"total": 3, "entries": [
        {"place": 2, "points": 900, "name": "Anna", "date": null}]})");
    ASSERT_TRUE(older.Entry);
    EXPECT_FALSE(older.Entry->HasVerifiedField);
    EXPECT_FALSE(older.Entry->Id);

    const EntryAnswer past = ParseEntryAnswer(R"({"total": 3, "entries": []})");
    EXPECT_TRUE(past.Readable);
    EXPECT_FALSE(past.Entry);
    for (const char* bad : {"", R"({"error": "count must be a whole number from 1 to 1000"})",
                            R"({"entries": [{"place": 1, "points": "9", "name": "A"}]})",
                            R"({"entries": [{"place": 1, "points": 9, "name": "A", "id": "7"}]})", R"({"entries": [7]})"}) {
        EXPECT_FALSE(ParseEntryAnswer(bad).Readable) << bad;
    }
}

TEST(ServiceApiUrls, UnderTheBaseAddressTheNameInUtf8) {
    const std::string server = "http://scores.example/zorblet/";
    EXPECT_EQ(TicketUrl(server), "http://scores.example/zorblet/api/v1/games/new");
    EXPECT_EQ(RecordSubmitUrl(server, "J\xFCrgen & Co #1+\x80"),
              "http://scores.example/zorblet/api/v1/games?name=J%C3%BCrgen%20%26%20Co%20%231%2B%E2%82%AC");
    EXPECT_EQ(EntryUrl(server, 17), "http://scores.example/zorblet/api/v1/scores?from=17&count=1");
    EXPECT_EQ(KeptRecordUrl(server, 1207), "http://scores.example/zorblet/api/v1/games/1207");
}

}  // namespace
}  // namespace zorblet::highscore::api_tests
