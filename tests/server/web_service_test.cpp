// The pages and the JSON API, answered by WebService on a real database, in process: the
// JSON (read by a real parser) agrees with the game's replies for the same list, bad
// queries get 400, names are escaped, caching follows the list's version, and a removed
// entry leaves every answer.

#include "web/web_service.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "fixture_boards.h"
#include "local_game.h"
#include "platform/cp1252.h"
#include "server_process.h"
#include "store/sqlite/sqlite_score_board.h"
#include "web/game_front.h"
#include "web/web_assets.h"

namespace zorblet::server::testing {
namespace {

using nlohmann::json;
using platform::Cp1252ToUtf8;

// A record of the game's replies: points, name, date as sent.
struct GameRecord {
    std::string points;
    std::string name;
    std::string date;
};

// The number on the first line and the records after it.
std::pair<std::int64_t, std::vector<GameRecord>> ReadGameReply(const std::string& reply) {
    std::istringstream lines(reply);
    std::string line;
    std::getline(lines, line);
    const std::int64_t number = std::stoll(line);
    std::vector<GameRecord> records;
    while (std::getline(lines, line)) {
        line.pop_back();  // CR
        const std::size_t first_tab = line.find('\t');
        const std::size_t second_tab = line.find('\t', first_tab + 1);
        records.push_back({line.substr(0, first_tab), line.substr(first_tab + 1, second_tab - first_tab - 1),
                           line.substr(second_tab + 1)});
    }
    return {number, records};
}

// A JSON entry as the game's reply has it, and the dd.MM.yy date back from YYYY-MM-DD.
void ExpectSameEntry(const json& entry, const GameRecord& record, const std::string& where) {
    EXPECT_EQ(std::to_string(entry.at("points").get<std::int64_t>()), record.points) << where;
    EXPECT_EQ(entry.at("name").get<std::string>(), Cp1252ToUtf8(record.name)) << where;
    const std::string date = entry.at("date").get<std::string>();
    ASSERT_EQ(date.size(), 10u) << where;
    EXPECT_EQ(date.substr(8, 2) + "." + date.substr(5, 2) + "." + date.substr(2, 2), record.date) << where;
    EXPECT_EQ(date.substr(0, 2), "20") << where;
}

std::string HeaderOf(const Reply& reply, const std::string& name) {
    for (const auto& [key, value] : reply.headers) {
        if (key == name) return value;
    }
    return {};
}

constexpr std::string_view PagePolicy =
    "default-src 'none'; style-src 'self'; img-src 'self' data:; form-action 'self'; frame-ancestors 'none'; "
    "base-uri 'none'";

class WebServiceTest : public ::testing::Test {
protected:
    void Open(const std::vector<ScoreEntry>& seed) {
        SeedBoard(Database(), seed);
        Reopen();
    }
    void Reopen() {
        web_.reset();
        game_.reset();
        board_.reset();
        board_ = std::make_unique<SqliteScoreBoard>(Database());
        web_ = std::make_unique<WebService>(*board_, "/");
        game_ = std::make_unique<LocalGame>(*board_);
    }
    std::filesystem::path Database() const { return directory_.path() / "scores.sqlite"; }

    Reply Get(const std::string& target, const std::string& if_none_match = "") const {
        std::optional<Reply> reply = web_->Answer({"GET", target, {}, address_, if_none_match});
        EXPECT_TRUE(reply.has_value()) << target;
        return reply.value_or(Reply{});
    }
    json GetJson(const std::string& target) const {
        const Reply reply = Get(target);
        EXPECT_EQ(reply.status, 200) << target << ": " << reply.body;
        EXPECT_EQ(reply.content_type, "application/json");
        return json::parse(reply.body);
    }
    std::string Game(const std::string& target) const {
        return AnswerGameRequest(game_->protocol, {"GET", target, {}, address_}).value().body;
    }

    const std::string address_ = "127.0.0.1";
    TempDir directory_;
    std::unique_ptr<SqliteScoreBoard> board_;
    std::unique_ptr<WebService> web_;
    std::unique_ptr<LocalGame> game_;
};

TEST_F(WebServiceTest, TheApiAgreesWithTheGamesRepliesForTheSameList) {
    Open(SixtyEntryBoard());  // ties, negative points, Windows-1252 names
    const auto [total, best] = ReadGameReply(Game("/BestOffSQL.php"));
    const json scores = GetJson("/api/v1/scores?count=1000");
    ASSERT_EQ(scores.at("total").get<std::int64_t>(), total);
    const json& entries = scores.at("entries");
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(total));
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(entries[i].at("place").get<std::int64_t>(), static_cast<std::int64_t>(i) + 1);
        ExpectSameEntry(entries[i], best[i], "best-of rank " + std::to_string(i + 1));
    }
    for (std::size_t k = 0; k < 5; ++k) {  // the last place first
        ExpectSameEntry(entries[static_cast<std::size_t>(total) - 1 - k], best[50 + k], "last ranks");
    }

    for (std::int32_t points = -150; points <= 1100; points += 25) {
        const auto [place, around] = ReadGameReply(Game("/ListeSQL.php?Punkte=" + std::to_string(points)));
        const json answer = GetJson("/api/v1/place?points=" + std::to_string(points));
        EXPECT_EQ(answer, json({{"points", points}, {"place", place}, {"total", total}}));
        const std::int64_t first = std::max<std::int64_t>(1, place - 8);
        const json rows = GetJson("/api/v1/scores?from=" + std::to_string(first) + "&count=12").at("entries");
        for (std::size_t i = 0; i < std::min(rows.size(), around.size()); ++i) {  // near the top it sends fewer
            EXPECT_EQ(rows[i].at("place").get<std::int64_t>(), first + static_cast<std::int64_t>(i));
            ExpectSameEntry(rows[i], around[i], "place list of " + std::to_string(points));
        }
        EXPECT_EQ(rows.size(), static_cast<std::size_t>(std::min<std::int64_t>(12, total - first + 1)));
    }
    EXPECT_EQ(GetJson("/api/v1/scores").at("entries").size(), 60u);  // 100 by default
    EXPECT_EQ(GetJson("/api/v1/scores?from=61"), json({{"total", 60}, {"entries", json::array()}}));
    EXPECT_EQ(GetJson("/api/v1/scores?from=2147483647&count=1000").at("entries").size(), 0u);
}

TEST_F(WebServiceTest, SearchesNamesByTheirBeginningIgnoringCaseOnPageAndApi) {
    Open(SixEntryBoard());  // Anna, Bert, Cleo, Dora, Ämil, Finn
    const auto names = [&](const std::string& query) {
        std::string found;
        const json reply = GetJson("/api/v1/search?name=" + query);
        for (const json& entry : reply.at("entries")) {
            found += std::to_string(entry.at("place").get<int>()) + entry.at("name").get<std::string>() + " ";
        }
        return found;
    };
    EXPECT_EQ(names("%C3%A4"), "5Ämil ");  // ä finds Ä
    EXPECT_EQ(names("A"), "1Anna ");       // and a no Ä
    EXPECT_EQ(names("cLEO"), "3Cleo ");
    EXPECT_EQ(names("%E2%82%AC"), "");     // €: no name begins so
    EXPECT_EQ(names("%E4%B8%AD"), "");     // 中: no name can hold it
    const Reply page = Get("/?name=%C3%A4");
    EXPECT_NE(page.body.find("<td class=\"name\">Ämil</td>"), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("Ein Name beginnt mit „ä“"), std::string::npos);
    const std::size_t table = page.body.find("<table id=\"liste\">");
    const std::string rows = page.body.substr(table, page.body.find("</table>", table) - table);
    EXPECT_EQ(rows.find("<tr><td>"), rows.rfind("<tr><td>")) << rows;  // one row only
}

TEST_F(WebServiceTest, BadQueriesGet400WithTheirReason) {
    Open(SixEntryBoard());
    const std::vector<std::string> pages{
        "/?ab=x",          "/?ab=0",      "/?ab=-1",           "/?ab=2147483648", "/?punkte=1.5",
        "/?punkte=99999999999", "/?punkte=", "/?name=" + std::string(25, 'a'), "/?name=%zz", "/?ab=1&ab=2",
        "/?ab=1&punkte=2", "/?name=%FF",  "/?name=a%09b",      "/?ab=%",
    };
    for (const std::string& target : pages) {
        const Reply reply = Get(target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_EQ(reply.content_type, "text/html; charset=utf-8") << target;
        EXPECT_EQ(HeaderOf(reply, "Content-Security-Policy"), PagePolicy) << target;
        EXPECT_NE(reply.body.find("<p class=\"fehler\">Ungültige Anfrage: "), std::string::npos) << reply.body;
    }
    const std::vector<std::string> api{
        "/api/v1/scores?from=0",     "/api/v1/scores?count=0",   "/api/v1/scores?count=1001",
        "/api/v1/scores?from=abc",   "/api/v1/scores?from=4294967296", "/api/v1/scores?from=1&from=2",
        "/api/v1/place",             "/api/v1/place?points=",    "/api/v1/place?points=2147483648",
        "/api/v1/place?points=%zz",  "/api/v1/search",           "/api/v1/search?name=",
        "/api/v1/search?name=" + std::string(25, 'b'), "/api/v1/search?name=%C3",
    };
    for (const std::string& target : api) {
        const Reply reply = Get(target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_EQ(HeaderOf(reply, "Access-Control-Allow-Origin"), "*") << target;
        EXPECT_FALSE(json::parse(reply.body).at("error").get<std::string>().empty()) << target;
    }
    // A name of 24 characters is fine, umlauts counted as one each; other parameters are ignored.
    EXPECT_EQ(Get("/?name=" + std::string(22, 'x') + "%C3%A4%C3%B6").status, 200);
    EXPECT_EQ(Get("/?ab=1&fbclid=x&fbclid=y").status, 200);
    EXPECT_EQ(Get("/?ab=2147483647").status, 200);
    EXPECT_EQ(Get("/?name=").status, 200);  // an empty search form: the first page
}

TEST_F(WebServiceTest, NamesShowAsTheirTextOnThePageAndInJson) {
    const std::vector<std::string> hostile{"<script>alert()</script>", "\"><svg onload=alert(1)>", "&amp;",
                                           "</style>", "J\xF6rg \x80 \x84\x93 \x96 \x8C \x99", "tab\there",
                                           "'single' \\ \"double\""};
    std::vector<ScoreEntry> entries;
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        entries.push_back({static_cast<std::int32_t>(1000 - i), hostile[i], "01.02.24"});
    }
    Open(entries);
    const Reply page = Get("/");
    ASSERT_EQ(page.status, 200);
    for (const std::string_view raw : {"<script", "<svg onload", "</style>"}) {
        EXPECT_EQ(page.body.find(raw), std::string::npos) << raw;
    }
    for (const std::string_view escaped : {"&lt;script&gt;alert()&lt;/script&gt;", "&quot;&gt;&lt;svg onload=alert(1)&gt;",
                                           "&amp;amp;", "&lt;/style&gt;", "Jörg € „“ – Œ ™", "tab?here",
                                           "&#39;single&#39; \\ &quot;double&quot;"}) {
        EXPECT_NE(page.body.find(escaped), std::string::npos) << escaped;
    }
    const json scores = GetJson("/api/v1/scores");
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        const std::string expected = i == 5 ? "tab?here" : Cp1252ToUtf8(hostile[i]);  // a control character is shown as '?'
        EXPECT_EQ(scores.at("entries").at(i).at("name").get<std::string>(), expected);
    }
    const Reply found = Get("/?name=%3C%2Fstyle");
    EXPECT_NE(found.body.find("value=\"&lt;/style\""), std::string::npos);
    EXPECT_EQ(found.body.find("</style"), std::string::npos);
}

TEST_F(WebServiceTest, AnswersCarryTheListsVersionAndA304WhileItHolds) {
    Open(SixEntryBoard());
    const Reply first = Get("/");
    const std::string tag = HeaderOf(first, "ETag");
    ASSERT_EQ(tag.size(), 18u) << tag;
    EXPECT_EQ(HeaderOf(first, "Cache-Control"), "max-age=10");
    EXPECT_EQ(HeaderOf(first, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(HeaderOf(first, "Referrer-Policy"), "no-referrer");
    EXPECT_EQ(HeaderOf(first, "Content-Security-Policy"), PagePolicy);
    for (const std::string& held : {tag, "W/" + tag, "\"other\", " + tag, std::string("*")}) {
        const Reply again = Get("/?ab=2", held);
        EXPECT_EQ(again.status, 304) << held;
        // The front sends no body with a 304, but names the length of the one it stands for.
        EXPECT_EQ(again.body, Get("/?ab=2").body) << held;
        EXPECT_EQ(HeaderOf(again, "ETag"), tag);
        EXPECT_EQ(HeaderOf(again, "Cache-Control"), "max-age=10");
        EXPECT_EQ(Get("/api/v1/scores", held).status, 304) << held;
    }
    EXPECT_EQ(Get("/", "\"other\"").status, 200);

    // Every change to the list moves the version on: a store, a removal, a restore.
    std::vector<std::string> tags{tag};
    Game(SubmitTarget(700, "Gina"));
    tags.push_back(HeaderOf(Get("/"), "ETag"));
    const std::vector<std::int64_t> top{7};
    board_->RemoveEntries(top, "test");
    tags.push_back(HeaderOf(Get("/"), "ETag"));
    board_->RestoreEntries(top);
    tags.push_back(HeaderOf(Get("/api/v1/place?points=1"), "ETag"));
    Reopen();  // and a restart never gives an earlier version again
    tags.push_back(HeaderOf(Get("/"), "ETag"));
    for (std::size_t i = 1; i < tags.size(); ++i) {
        EXPECT_EQ(std::count(tags.begin(), tags.end(), tags[i]), 1) << i;
        EXPECT_EQ(Get("/", tags[i - 1]).status, 200) << i;
    }
}

// The names in the table of the newest entries, newest first.
std::string NewestNames(const std::string& page) {
    std::string names;
    const std::size_t table = page.find("<table class=\"neueste\">");
    const std::size_t end = page.find("</table>", table);
    for (std::size_t at = page.find("class=\"name\">", table); at < end; at = page.find("class=\"name\">", at)) {
        at += 13;
        names += page.substr(at, page.find('<', at) - at) + ",";
    }
    return names;
}

TEST_F(WebServiceTest, ARemovedEntryLeavesThePageAndTheApiAndARestoreBringsItBack) {
    std::vector<ScoreEntry> entries = SixEntryBoard();  // Anna, Bert, Cleo, Dora, Ämil, Finn
    for (const std::string name : {"Gus", "Hal", "Ida", "Jon", "Kim"}) entries.push_back({10, name, "01.05.24"});
    entries.push_back({400, "Zoe Gone", "07.05.24"});  // id 12: second place and the newest
    Open(entries);
    const auto shows = [&](const std::string& target) { return Get(target).body.find("Zoe Gone") != std::string::npos; };
    const auto lists = [&](const std::string& target) {
        return GetJson(target).dump().find("Zoe Gone") != std::string::npos;
    };
    ASSERT_TRUE(shows("/") && shows("/?name=zoe") && lists("/api/v1/scores") && lists("/api/v1/search?name=Z"));
    EXPECT_EQ(NewestNames(Get("/").body), "Zoe Gone,Kim,Jon,Ida,Hal,Gus,Finn,Ämil,Dora,Cleo,");
    const std::vector<std::int64_t> ids{12};
    board_->RemoveEntries(ids, "test");
    EXPECT_FALSE(shows("/"));
    EXPECT_FALSE(shows("/?name=zoe"));
    EXPECT_FALSE(shows("/?punkte=400"));
    EXPECT_FALSE(lists("/api/v1/scores"));
    EXPECT_FALSE(lists("/api/v1/search?name=Z"));
    EXPECT_EQ(GetJson("/api/v1/place?points=400").at("place"), 2);
    EXPECT_EQ(GetJson("/api/v1/scores?from=2&count=1").at("entries").at(0).at("name"), "Bert");  // moved up
    // The newest go on with the next older entry, which the list of ten did not hold.
    EXPECT_EQ(NewestNames(Get("/").body), "Kim,Jon,Ida,Hal,Gus,Finn,Ämil,Dora,Cleo,Bert,");

    board_->RestoreEntries(ids);
    EXPECT_TRUE(shows("/") && shows("/?name=zoe") && lists("/api/v1/scores") && lists("/api/v1/search?name=Z"));
    EXPECT_EQ(GetJson("/api/v1/place?points=400").at("place"), 3);
    EXPECT_EQ(NewestNames(Get("/").body), "Zoe Gone,Kim,Jon,Ida,Hal,Gus,Finn,Ämil,Dora,Cleo,");
}

TEST_F(WebServiceTest, ThePlaceOfAScoreShowsItMarkedAmongTheRowsAsTheGameDoes) {
    Open(SixEntryBoard());  // 500 Anna, 300 Bert, 300 Cleo, 200 Dora, 100 Ämil, 50 Finn
    const Reply page = Get("/?punkte=300");
    const std::string rows = page.body.substr(page.body.find("<tbody>"), page.body.find("</tbody>") - page.body.find("<tbody>"));
    // After the two with 300 points, as a new entry among equal points; the ones below move down.
    const std::string expected =
        "<tbody>\n"
        "<tr><td>1</td><td>500</td><td class=\"name\">Anna</td><td>01.02.2024</td></tr>\n"
        "<tr><td>2</td><td>300</td><td class=\"name\">Bert</td><td>02.02.2024</td></tr>\n"
        "<tr><td>3</td><td>300</td><td class=\"name\">Cleo</td><td>03.03.2024</td></tr>\n"
        "<tr class=\"neu\" aria-current=\"true\"><td>4</td><td>300</td><td class=\"name\">deine Punkte</td><td></td></tr>\n"
        "<tr><td>5</td><td>200</td><td class=\"name\">Dora</td><td>04.03.2024</td></tr>\n"
        "<tr><td>6</td><td>100</td><td class=\"name\">Ämil</td><td>05.04.2024</td></tr>\n"
        "<tr><td>7</td><td>50</td><td class=\"name\">Finn</td><td>06.04.2024</td></tr>\n";
    EXPECT_EQ(rows, expected);
    EXPECT_NE(page.body.find("300 Punkte kämen auf Platz 4"), std::string::npos);
    EXPECT_NE(page.body.find("Mit 300 Punkten lägst du vor 50,0 % aller Einträge."), std::string::npos);
    EXPECT_NE(page.body.find("value=\"300\""), std::string::npos);
    EXPECT_EQ(page.body.find("rel=\"next\""), std::string::npos);
}

TEST_F(WebServiceTest, PagesLinkToTheNextAndPreviousHundredPlaces) {
    std::vector<ScoreEntry> entries;
    for (int i = 0; i < 250; ++i) entries.push_back({1000 - i, "P" + std::to_string(i + 1), "01.01.25"});
    Open(entries);
    const struct {
        std::string target;
        std::string previous;
        std::string next;
        std::string heading;
    } cases[] = {
        {"/", "", "/?ab=101", "Plätze 1 bis 100"},
        {"/?ab=101", "/", "/?ab=201", "Plätze 101 bis 200"},
        {"/?ab=160", "/?ab=60", "", "Plätze 160 bis 250"},  // the last page may be short
        {"/?ab=500", "/?ab=151", "", "Die Liste hat nur 250 Einträge"},
        {"/?punkte=900", "/", "/?ab=112", "900 Punkte kämen auf Platz 102"},  // rows from 92 on
        {"/?punkte=850", "/?ab=42", "/?ab=162", "850 Punkte kämen auf Platz 152"},
        {"/?punkte=0", "/?ab=141", "", "0 Punkte kämen auf Platz 251"},
    };
    for (const auto& c : cases) {
        const std::string body = Get(c.target).body;
        const auto link = [&](const std::string& rel) {
            const std::size_t at = body.find("rel=\"" + rel + "\" href=\"");
            if (at == std::string::npos) return std::string();
            const std::size_t start = body.find("href=\"", at) + 6;
            return body.substr(start, body.find('"', start) - start);
        };
        EXPECT_EQ(link("prev"), c.previous) << c.target;
        EXPECT_EQ(link("next"), c.next) << c.target;
        EXPECT_NE(body.find("<h2>" + c.heading + "</h2>"), std::string::npos) << c.target;
        EXPECT_NE(body.find("<a href=\"/\">Anfang</a>"), std::string::npos);
    }
}

TEST_F(WebServiceTest, TheStylesheetAndIconAreCachedLongUnderTheirVersion) {
    Open({});
    for (const auto& [path, version, type] :
         {std::tuple{std::string("/zorblet.css"), StylesheetVersion, "text/css; charset=utf-8"},
          std::tuple{std::string("/zorblet.svg"), IconVersion, "image/svg+xml"}}) {
        const Reply versioned = Get(path + "?v=" + std::string(version));
        EXPECT_EQ(versioned.status, 200);
        EXPECT_EQ(versioned.content_type, type);
        EXPECT_EQ(HeaderOf(versioned, "Cache-Control"), "public, max-age=31536000, immutable");
        EXPECT_EQ(HeaderOf(Get(path + "?v=old"), "Cache-Control"), "public, max-age=86400");
        EXPECT_EQ(Get(path, HeaderOf(versioned, "ETag")).status, 304);
        EXPECT_EQ(Get("/").body.find(path + "?v=" + std::string(version)) != std::string::npos, true) << path;
    }
    EXPECT_EQ(Get("/zorblet.css").body, std::string(StylesheetText));
    EXPECT_NE(Get("/").body.find("Noch keine Einträge"), std::string::npos);
}

TEST_F(WebServiceTest, OnlyItsOwnPathsAndReadMethodsAreAnswered) {
    Open(SixEntryBoard());
    for (const std::string target : {"/BestOffSQL.php", "/index.html", "/api/v1/", "/api/v2/scores", "/zorblet.css/x"}) {
        EXPECT_FALSE(web_->Answer({"GET", target, {}, address_}).has_value()) << target;
    }
    for (const std::string target : {"/", "/api/v1/scores", "/zorblet.css"}) {
        const Reply refused = web_->Answer({"POST", target, {}, address_}).value();
        EXPECT_EQ(refused.status, 405) << target;
        EXPECT_EQ(refused.allow, "GET, HEAD") << target;
        EXPECT_EQ(web_->Answer({"HEAD", target, {}, address_}).value().status, 200) << target;
    }
    const WebService under(*board_, "/zorblet/");
    const Reply moved = under.Answer({"GET", "/zorblet?ab=3", {}, address_}).value();
    EXPECT_EQ(moved.status, 301);
    EXPECT_EQ(HeaderOf(moved, "Location"), "/zorblet/?ab=3");
    EXPECT_EQ(under.Answer({"GET", "/zorblet/api/v1/place?points=1", {}, address_}).value().status, 200);
    EXPECT_EQ(under.FindRequest("/zorblet/"), WebRequest::Page);
    EXPECT_EQ(under.FindRequest("/zorblet"), WebRequest::Page);
    EXPECT_EQ(under.FindRequest("/zorblet/api/v1/search"), WebRequest::Api);
    EXPECT_EQ(under.FindRequest("/zorblet/zorblet.svg"), WebRequest::Static);
    EXPECT_EQ(under.FindRequest("/zorblet.css"), std::nullopt);
}

}  // namespace
}  // namespace zorblet::server::testing
