// A game played on a ticket goes to the list as its record: what each answer of the
// service means for it (stored, refused with a sentence, an older service and the seed's
// request, kept and sent again), the outbox that keeps it on disk across a restart until
// its ticket expires, and the tickets the client keeps at hand.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "highscore/check_text.h"
#include "highscore/highscore_client.h"
#include "highscore/record_outbox.h"
#include "highscore/service_urls.h"
#include "platform/disk_folder.h"
#include "platform/posix_clock.h"
#include "record/record_format.h"
#include "support/fakes.h"
#include "support/http_fakes.h"
#include "support/memory_folder.h"

namespace zorblet::highscore::submission_tests {
namespace {

using namespace std::chrono_literals;
using platform::HttpMethod;

const WallTime Noon = WallTime(std::chrono::sys_days(std::chrono::year(2026) / 12 / 11).time_since_epoch() + 12h);
const std::string Server = "http://scores.test/";
const std::string Name = "J\xFCrgen";  // Windows-1252
const std::string RecordUrl = "http://scores.test/api/v1/games?name=J%C3%BCrgen";

// The time of day, moved by the test; read on any thread.
class WallClockStandIn {
public:
    WallTime Now() const { return WallTime(std::chrono::system_clock::duration(ticks_.load())); }
    void Set(WallTime time) { ticks_ = time.time_since_epoch().count(); }
    HighscoreClient::WallClock Clock() const {
        return [this] { return Now(); };
    }

private:
    std::atomic<std::chrono::system_clock::rep> ticks_{Noon.time_since_epoch().count()};
};

PlayedGame GameOnTicket(std::int32_t score, WallTime expires = Noon + 24h) {
    record::GameRecord game{.RulesVersion = 1, .Seed = 4242, .Score = score};
    game.Frames.resize(50, {.DeltaX = 3});
    game.Frames.front().F2Released = true;
    const std::string ticket = "v1.ticket-" + std::to_string(score);
    game.Ticket.assign(ticket.begin(), ticket.end());
    return {std::make_shared<const record::GameRecord>(std::move(game)), expires};
}

std::string Encoded(const PlayedGame& game) {
    const std::vector<std::uint8_t> bytes = record::EncodeRecord(*game.Record);
    return {bytes.begin(), bytes.end()};
}

std::string SeedRequestOf(std::int32_t points) {
    return SubmitUrl(Server, points, Name, BuildCheckText(points, Name));
}

// Polls the client's view until nothing is due, or 20 s have passed.
bool Settle(HighscoreClient& client, BoardView& view) {
    for (int i = 0; i < 2000; ++i) {
        client.Refresh(view);
        if (!client.Busy()) {
            client.Refresh(view);
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Past the last resend, in steps shorter than any gap between two of them.
void LetAllResendsPass(testing::SharedFakeClock& clock, HighscoreClient& client, BoardView& view) {
    for (int step = 0; step < 12; ++step) {
        clock.AdvanceMs(5000);
        ASSERT_TRUE(Settle(client, view)) << "a transfer is stuck";
    }
}

// A service that answers the record's POSTs in turn (the last answer repeats) and the
// seed's requests as a short list does.
testing::RoutingTransport::Answerer Service(std::vector<platform::HttpAttempt> records) {
    auto next = std::make_shared<std::size_t>(0);
    return [records = std::move(records), next](const platform::HttpRequest& request) {
        if (request.Method == HttpMethod::Post && request.Url.find("api/v1/games?") != std::string::npos) {
            return records[std::min((*next)++, records.size() - 1)];
        }
        if (request.Url.find("BestOffSQL.php") != std::string::npos) return testing::Answer(200, "0\r\n");
        return testing::Answer(200, "");
    };
}

const platform::HttpAttempt Stored = testing::Answer(201, R"({"id": 7, "place": 3, "points": 500, "verified": true})");

std::string Refusal(const std::string& error, const std::string& text) {
    return R"({"error": ")" + error + R"(", "text": ")" + text + "\"}";
}

TEST(RecordSubmission, WhatEachAnswerOfTheServiceMeansForTheRecord) {
    const platform::HttpAttempt refused{};  // no connection
    struct Case {
        const char* Name;
        std::vector<platform::HttpAttempt> Answers;
        std::size_t Posts;  // arrivals of the record, resends included
        bool SeedRequest;   // the seed's request went after it
        std::uint64_t Failures;
        std::string FailureText;  // Windows-1252
        std::int32_t KeptAfter;   // still waiting after the last resend of this run
    } const cases[] = {
        {"201", {Stored}, 1, false, 0, "", 0},
        {"400 with a sentence", {testing::Answer(400, Refusal("record_malformed", "Die Aufzeichnung ist besch\\u00e4digt."))},
         1, false, 1, "Die Aufzeichnung ist besch\xE4" "digt.", 0},
        {"403 with a sentence", {testing::Answer(403, Refusal("ticket_invalid", "Das Ticket stammt nicht von dieser Liste."))},
         1, false, 1, "Das Ticket stammt nicht von dieser Liste.", 0},
        {"409 with a sentence", {testing::Answer(409, Refusal("ticket_reused", "Diese Partie ist schon gemeldet."))},
         1, false, 1, "Diese Partie ist schon gemeldet.", 0},
        {"422 with a sentence", {testing::Answer(422, Refusal("replay_mismatch", "Die Punkte stimmen nicht."))},
         1, false, 1, "Die Punkte stimmen nicht.", 0},
        {"422 with a sentence the fonts lack", {testing::Answer(422, Refusal("x", "Punkte \\u2192 falsch"))}, 1, false,
         1, "", 0},
        {"403 without a sentence", {testing::Answer(403, "<html>Forbidden</html>")}, 1, false, 1, "", 0},
        {"404: an older service", {testing::Answer(404, "<html>Not Found</html>")}, 1, true, 0, "", 0},
        {"405: an older service", {testing::Answer(405)}, 1, true, 0, "", 0},
        {"503, kept and sent again", {testing::Answer(503, "busy")}, 5, false, 1, "", 1},
        {"503, then stored", {testing::Answer(503, "busy"), testing::Answer(503), Stored}, 3, false, 0, "", 0},
        {"429, kept and sent again", {testing::Answer(429)}, 5, false, 1, "", 1},
        {"no connection, kept and sent again", {refused}, 5 * static_cast<std::size_t>(FetchAttempts), false, 1, "", 1},
        {"a 200 that is no answer of the service", {testing::Answer(200, "<html>Willkommen</html>")}, 5, false, 1, "",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        testing::SharedFakeClock clock;  // connection attempts and resends take no real time
        testing::RoutingTransport transport(Service(c.Answers));
        testing::MemoryFolder outbox;
        const WallClockStandIn wall;
        HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
        BoardView view;
        const PlayedGame game = GameOnTicket(500);
        client.SubmitThenRefresh(SeedRequestOf(500), game, Name);
        ASSERT_TRUE(Settle(client, view));
        LetAllResendsPass(clock, client, view);

        const auto posts = transport.Requests("api/v1/games?", HttpMethod::Post);
        ASSERT_EQ(posts.size(), c.Posts);
        for (const platform::HttpRequest& post : posts) {
            EXPECT_EQ(post.Url, RecordUrl);
            EXPECT_EQ(post.ContentType, "application/octet-stream");
            EXPECT_TRUE(post.Body == Encoded(game)) << "every arrival the same record";
        }
        const auto seedRequests = transport.Requests("HighScoreSQL.php", HttpMethod::Get);
        ASSERT_EQ(seedRequests.size(), c.SeedRequest ? 1u : 0u);
        if (c.SeedRequest) {
            EXPECT_EQ(seedRequests[0].Url, SeedRequestOf(500));
        }
        EXPECT_EQ(view.Failures, c.Failures);
        EXPECT_EQ(view.FailureText, c.FailureText);
        EXPECT_EQ(view.KeptSubmissions, c.KeptAfter);
        EXPECT_EQ(outbox.Files.size(), static_cast<std::size_t>(c.KeptAfter)) << "on disk while it waits, gone after";
        const auto all = transport.Requests();
        const auto firstPost = std::find_if(all.begin(), all.end(), [](const auto& r) { return r.Method == HttpMethod::Post; });
        ASSERT_LT(firstPost + 1, all.end());
        const auto after = std::find_if(firstPost + 1, all.end(),
                                        [](const auto& r) { return r.Url.find("HighScoreSQL.php") == std::string::npos &&
                                                                   r.Method == HttpMethod::Get; });
        ASSERT_NE(after, all.end());
        EXPECT_EQ(after->Url, "http://scores.test/BestOffSQL.php") << "the table fetched anew, as after a score";
    }
}

TEST(RecordSubmission, SentAgainFiveFifteenThirtyAndFortyFiveSecondsAfterItsFirstAttempt) {
    testing::SharedFakeClock clock;
    testing::RoutingTransport transport(Service({testing::Answer(503)}));
    testing::MemoryFolder outbox;
    const WallClockStandIn wall;
    HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
    BoardView view;
    const std::uint64_t start = clock.NowMs();
    std::vector<std::uint64_t> sentAtMs;
    transport.SetAnswer([&, service = Service({testing::Answer(503)})](const platform::HttpRequest& request) {
        if (request.Method == HttpMethod::Post) sentAtMs.push_back(clock.NowMs() - start);
        return service(request);
    });
    client.SubmitThenRefresh(SeedRequestOf(500), GameOnTicket(500), Name);
    ASSERT_TRUE(Settle(client, view));
    EXPECT_EQ(view.KeptSubmissions, 1);
    for (int second = 0; second < 60; ++second) {
        clock.AdvanceMs(1000);
        ASSERT_TRUE(Settle(client, view));
    }
    EXPECT_EQ(sentAtMs, (std::vector<std::uint64_t>{0, 5000, 15000, 30000, 45000}));
    EXPECT_EQ(view.KeptSubmissions, 1) << "on disk for the next start";
    EXPECT_EQ(view.Failures, 1u) << "told once, when given up for this run";
}

// A record given up for this run goes first when the next score is sent, and both arrive.
TEST(RecordSubmission, ARecordGivenUpForThisRunGoesFirstWithTheNextSubmission) {
    testing::SharedFakeClock clock;
    testing::RoutingTransport transport(Service({testing::Answer(503)}));
    testing::MemoryFolder outbox;
    const WallClockStandIn wall;
    HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
    BoardView view;
    const PlayedGame first = GameOnTicket(500);
    client.SubmitThenRefresh(SeedRequestOf(500), first, Name);
    ASSERT_TRUE(Settle(client, view));
    LetAllResendsPass(clock, client, view);
    ASSERT_EQ(view.KeptSubmissions, 1);

    transport.SetAnswer(Service({Stored}));
    const PlayedGame second = GameOnTicket(600);
    client.SubmitThenRefresh(SeedRequestOf(600), second, Name);
    ASSERT_TRUE(Settle(client, view));
    const auto posts = transport.Requests("api/v1/games?", HttpMethod::Post);
    ASSERT_EQ(posts.size(), 7u);
    EXPECT_TRUE(posts[5].Body == Encoded(first));
    EXPECT_TRUE(posts[6].Body == Encoded(second));
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_TRUE(outbox.Files.empty());
}

// A list that takes verified games only refuses the seed's request with 403 and says why:
// a score sent alone, and a record's points after an older API's 404 alike.
TEST(RecordSubmission, ASeedRequestRefusedWith403IsToldInTheListsWordsAndNotSentAgain) {
    const std::string says = "Nur gepr\xC3\xBC" "fte Partien z\xC3\xA4hlen.\r\n";  // UTF-8, as a plain line
    struct Case {
        const char* Name;
        bool WithRecord;
        std::string Body;
        std::string FailureText;  // Windows-1252
    } const cases[] = {
        {"a score alone, a plain line", false, says, "Nur gepr\xFC" "fte Partien z\xE4hlen."},
        {"a score alone, the JSON reason", false, Refusal("unverified_refused", "Nur gepr\\u00fcfte Partien."),
         "Nur gepr\xFC" "fte Partien."},
        {"a score alone, no words", false, "<html>Forbidden</html>", ""},
        {"a record an older API took not", true, says, "Nur gepr\xFC" "fte Partien z\xE4hlen."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        testing::SharedFakeClock clock;
        testing::RoutingTransport transport([&](const platform::HttpRequest& request) {
            if (request.Method == HttpMethod::Post) return testing::Answer(404);
            if (request.Url.find("HighScoreSQL.php") != std::string::npos) return testing::Answer(403, c.Body);
            return testing::Answer(200, "0\r\n");
        });
        testing::MemoryFolder outbox;
        const WallClockStandIn wall;
        HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
        BoardView view;
        if (c.WithRecord) {
            client.SubmitThenRefresh(SeedRequestOf(500), GameOnTicket(500), Name);
        } else {
            client.SubmitThenRefresh(SeedRequestOf(500));
        }
        ASSERT_TRUE(Settle(client, view));
        LetAllResendsPass(clock, client, view);
        EXPECT_EQ(transport.Requests("HighScoreSQL.php", HttpMethod::Get).size(), 1u);
        EXPECT_EQ(view.Failures, 1u);
        EXPECT_EQ(view.FailureText, c.FailureText);
        EXPECT_EQ(view.KeptSubmissions, 0);
        EXPECT_TRUE(outbox.Files.empty());
    }
}

// The service stored the record, but its answer was lost on the way: the same record
// arrives again, and the service answers with the place it gave the first time.
TEST(RecordSubmission, TheSameRecordSentTwiceIsStoredOnceAndTheClientIsContent) {
    testing::SharedFakeClock clock;
    std::vector<std::string> stored;  // the tickets the stand-in has stored
    std::vector<std::string> arrivals;
    testing::RoutingTransport transport([&](const platform::HttpRequest& request) -> platform::HttpAttempt {
        if (request.Method != HttpMethod::Post) return testing::Answer(200, "0\r\n");
        arrivals.push_back(request.Body);
        if (std::find(stored.begin(), stored.end(), request.Body) == stored.end()) {
            stored.push_back(request.Body);
            return {true, 0, "", true};  // stored, and the answer cut off
        }
        return testing::Answer(200, R"({"id": 7, "place": 3, "points": 500, "verified": true})");
    });
    testing::MemoryFolder outbox;
    const WallClockStandIn wall;
    HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
    BoardView view;
    client.SubmitThenRefresh(SeedRequestOf(500), GameOnTicket(500), Name);
    ASSERT_TRUE(Settle(client, view));
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_TRUE(arrivals[0] == arrivals[1]);
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_EQ(view.Failures, 0u);
    EXPECT_TRUE(outbox.Files.empty());
}

// A real folder under a temporary home, for what the game leaves there between two runs.
class OutboxOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorblet-outbox-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(home_); }

    std::filesystem::path Folder() const {
        return platform::OutboxFolderPath(home_.c_str(), nullptr, OutboxFolderName(Server));
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(Folder(), error)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::filesystem::path home_;
};

TEST_F(OutboxOnDiskTest, ARecordThatCouldNotBeSentIsSentAtTheNextStartAsItWas) {
    const PlayedGame game = GameOnTicket(500);
    const WallClockStandIn wall;
    {
        testing::SharedFakeClock clock;
        testing::RoutingTransport unreachable;
        platform::DiskFolder outbox(Folder());
        HighscoreClient client(unreachable, clock, Server, &outbox, wall.Clock());
        BoardView view;
        client.SubmitThenRefresh(SeedRequestOf(500), game, Name);
        ASSERT_TRUE(Settle(client, view));
        EXPECT_EQ(view.KeptSubmissions, 1);
    }  // the game ends while the record waits
    ASSERT_EQ(Files(), std::vector<std::string>{"20261212T120000Z_J%C3%BCrgen.zrec"});
    const platform::FileStart kept = platform::ReadFileStart(Folder() / Files()[0], 1 << 20);
    EXPECT_TRUE(kept.Text == Encoded(game)) << "the record itself: --replay plays it, curl can post it";

    testing::SharedFakeClock clock;
    testing::RoutingTransport service(Service({Stored}));
    platform::DiskFolder outbox(Folder());
    HighscoreClient client(service, clock, Server, &outbox, wall.Clock());
    BoardView view;
    client.SendKeptRecords();
    ASSERT_TRUE(Settle(client, view));
    const auto posts = service.Requests("api/v1/games?", HttpMethod::Post);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].Url, RecordUrl) << "under the name it was confirmed with";
    EXPECT_TRUE(posts[0].Body == Encoded(game));
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_EQ(service.Requests().back().Url, "http://scores.test/BestOffSQL.php") << "the new entry shown";
}

TEST_F(OutboxOnDiskTest, KeptRecordsGoInTheOrderTheyWerePlayedAndAnOlderServiceGetsTheirPoints) {
    const WallClockStandIn wall;
    platform::DiskFolder outbox(Folder());
    {
        testing::SharedFakeClock clock;
        testing::RoutingTransport unreachable;
        HighscoreClient client(unreachable, clock, Server, &outbox, wall.Clock());
        BoardView view;
        client.SubmitThenRefresh(SeedRequestOf(300), GameOnTicket(300, Noon + 23h), Name);
        client.SubmitThenRefresh(SeedRequestOf(200), GameOnTicket(200, Noon + 24h), Name);
        ASSERT_TRUE(Settle(client, view));
    }
    testing::SharedFakeClock clock;
    testing::RoutingTransport older(Service({testing::Answer(404)}));
    HighscoreClient client(older, clock, Server, &outbox, wall.Clock());
    BoardView view;
    client.SendKeptRecords();
    ASSERT_TRUE(Settle(client, view));
    const auto seedRequests = older.Requests("HighScoreSQL.php", HttpMethod::Get);
    ASSERT_EQ(seedRequests.size(), 2u);
    EXPECT_EQ(seedRequests[0].Url, SeedRequestOf(300));
    EXPECT_EQ(seedRequests[1].Url, SeedRequestOf(200));
    EXPECT_TRUE(Files().empty());
}

TEST_F(OutboxOnDiskTest, ARecordWhoseTicketHasExpiredIsDroppedWithOneLine) {
    WallClockStandIn wall;
    platform::DiskFolder outbox(Folder());
    {
        testing::SharedFakeClock clock;
        testing::RoutingTransport unreachable;
        HighscoreClient client(unreachable, clock, Server, &outbox, wall.Clock());
        BoardView view;
        client.SubmitThenRefresh(SeedRequestOf(500), GameOnTicket(500, Noon + 1h), Name);
        client.SubmitThenRefresh(SeedRequestOf(700), GameOnTicket(700, Noon + 3h), Name);
        ASSERT_TRUE(Settle(client, view));
    }
    ASSERT_EQ(Files().size(), 2u);
    std::filesystem::path foreign = Folder() / "notizen.txt";
    std::ofstream(foreign) << "the player's own";

    wall.Set(Noon + 2h);  // the next start: the first ticket has expired, the second not
    testing::SharedFakeClock clock;
    testing::RoutingTransport service(Service({Stored}));
    HighscoreClient client(service, clock, Server, &outbox, wall.Clock());
    BoardView view;
    ::testing::internal::CaptureStderr();
    client.SendKeptRecords();
    ASSERT_TRUE(Settle(client, view));
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told,
              "Zorblet: die Partie von „Jürgen“ (500 Punkte) wurde nicht rechtzeitig gesendet; ihr Ticket ist "
              "abgelaufen, sie wird verworfen.\n");
    const auto posts = service.Requests("api/v1/games?", HttpMethod::Post);
    ASSERT_EQ(posts.size(), 1u) << "only the one still valid";
    EXPECT_TRUE(posts[0].Body == Encoded(GameOnTicket(700)));
    EXPECT_EQ(Files(), std::vector<std::string>{"notizen.txt"}) << "files the game did not name stay";
}

// A kept record whose ticket runs out while it waits for its next resend is not sent.
TEST(RecordSubmission, ATicketThatExpiresWhileTheRecordWaitsEndsIt) {
    testing::SharedFakeClock clock;
    testing::RoutingTransport transport(Service({testing::Answer(503)}));
    testing::MemoryFolder outbox;
    WallClockStandIn wall;
    HighscoreClient client(transport, clock, Server, &outbox, wall.Clock());
    BoardView view;
    client.SubmitThenRefresh(SeedRequestOf(500), GameOnTicket(500, Noon + 10s), Name);
    ASSERT_TRUE(Settle(client, view));
    wall.Set(Noon + 11s);
    ::testing::internal::CaptureStderr();
    LetAllResendsPass(clock, client, view);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Ticket ist abgelaufen"), std::string::npos);
    EXPECT_EQ(transport.Requests("api/v1/games?", HttpMethod::Post).size(), 1u);
    EXPECT_EQ(view.KeptSubmissions, 0);
    EXPECT_TRUE(outbox.Files.empty());
}

TEST(OutboxFileNames, SayTheTicketsEndAndTheNameAndNothingElseIsTaken) {
    EXPECT_EQ(OutboxFileStem(Noon, "J\xFCrgen & Co-2_x"), "20261211T120000Z_J%C3%BCrgen%20%26%20Co%2D2%5Fx");
    const auto named = ReadOutboxFileName("20261211T120000Z_J%C3%BCrgen%20%26%20Co%2D2%5Fx-3.zrec");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->Expires, Noon);
    EXPECT_EQ(named->NameCp1252, "J\xFCrgen & Co-2_x");
    for (const char* foreign : {"notizen.txt", "20261211T120000Z_Anna.zrec.bak", ".20261211T120000Z_Anna.zrec.Ab12Cd",
                                "20261211T120000Z_.zrec", "20261211T120000Z_Anna-1.zrec", "20261211T120000Z_Anna-02.zrec",
                                "20261211T120000Z_Anna-100.zrec", "20261211T120000Z_J%c3%bcrgen.zrec",
                                "20261211T120000Z_Anna%2.zrec", "2026121T120000Z_Anna.zrec", "20261311T120000Z_Anna.zrec",
                                "20261211T120000Z_%E2%86%92.zrec", "20261211T120000Z_Anna_Bea.zrec",
                                "2026-12-11_20-15-03_4617-Punkte.zrec"}) {
        EXPECT_FALSE(ReadOutboxFileName(foreign)) << foreign;
    }
    EXPECT_EQ(OutboxFolderName("http://127.0.0.1:8080/"), "http%3A%2F%2F127.0.0.1%3A8080%2F");
    const std::string longAddress = "https://scores.example/" + std::string(300, 'a') + "/";
    EXPECT_EQ(OutboxFolderName(longAddress).size(), 200u);
    EXPECT_NE(OutboxFolderName(longAddress), OutboxFolderName(longAddress + "b/"));
}

// Tickets: asked for in the background, one at hand at a time, each for one game.
TEST(TicketAtHand, IsAskedForInTheBackgroundTakenOnceAndRenewedBeforeItIsTooOld) {
    testing::SharedFakeClock clock;
    std::atomic<int> issued = 0;
    WallClockStandIn wall;
    // Tickets for a day from the time they are issued.
    testing::RoutingTransport transport([&](const platform::HttpRequest& request) {
        if (!request.Url.ends_with("api/v1/games/new") || request.Method != HttpMethod::Post) {
            return testing::Answer(404);
        }
        const int n = ++issued;
        const std::time_t expires = std::chrono::system_clock::to_time_t(wall.Now() + 24h);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&expires));
        return testing::Answer(200, R"({"ticket": "t)" + std::to_string(n) + R"(", "seed": )" + std::to_string(n) +
                                        R"(, "expires": ")" + stamp + R"("})");
    });
    HighscoreClient client(transport, clock, Server, nullptr, wall.Clock());
    BoardView view;
    EXPECT_FALSE(client.TakeTicket()) << "none before one came; but one is asked for";
    ASSERT_TRUE(Settle(client, view));
    client.RequestTicket();
    client.RequestTicket();
    ASSERT_TRUE(Settle(client, view));
    EXPECT_EQ(issued, 1) << "one at hand is enough";

    const std::optional<Ticket> first = client.TakeTicket();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Text, "t1");
    EXPECT_EQ(first->Seed, 1u);
    EXPECT_EQ(first->Expires, Noon + 24h);
    ASSERT_TRUE(Settle(client, view));
    EXPECT_EQ(issued, 2) << "the next one asked for when one was taken";

    // 21 hours on, the one at hand would not outlive a long game: it is replaced.
    wall.Set(Noon + 21h - 2s);
    clock.AdvanceMs((21 * 3600 - 2) * 1000);
    ASSERT_TRUE(Settle(client, view));
    EXPECT_EQ(issued, 2) << "not before its time";
    wall.Set(Noon + 21h + 2s);
    clock.AdvanceMs(4000);
    ASSERT_TRUE(Settle(client, view));
    EXPECT_EQ(issued, 3);
    const std::optional<Ticket> renewed = client.TakeTicket();
    ASSERT_TRUE(renewed);
    EXPECT_EQ(renewed->Text, "t3");
    EXPECT_EQ(renewed->Expires, Noon + 45h + 2s);
    EXPECT_EQ(transport.Requests("games/new", HttpMethod::Post).back().ContentType, "");
    EXPECT_TRUE(transport.Requests("games/new", HttpMethod::Post).back().Body.empty());
}

}  // namespace
}  // namespace zorblet::highscore::submission_tests
