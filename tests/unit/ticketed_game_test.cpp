// Tickets through the real start-up and frame loop: a game started with a ticket at hand
// is played on its seed and its record carries it, once; without one the game picks its own
// seed; a confirmed name sends the record of the game whose game over opened the entry, or
// the seed's request as before, and a refusal's sentence stands on the status line.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "frame/main_loop.h"
#include "highscore/fetch_url.h"
#include "highscore/service_urls.h"
#include "highscore/check_text.h"
#include "platform/posix_clock.h"
#include "record/record_format.h"
#include "replay/record_player.h"
#include "shared/game_math.h"
#include "support/fakes.h"
#include "support/http_fakes.h"
#include "support/steering_bot.h"
#include "support/tone_fakes.h"

namespace zorblet::frame {
namespace {

using namespace std::chrono_literals;
namespace Key = platform::Key;
using platform::HttpMethod;

const highscore::WallTime Noon =
    highscore::WallTime(std::chrono::sys_days(std::chrono::year(2026) / 12 / 11).time_since_epoch() + 12h);
constexpr std::uint32_t OwnSeed = 20261211;

std::string TicketAnswer(const std::string& ticket, std::uint32_t seed) {
    return R"({"ticket": ")" + ticket + R"(", "seed": )" + std::to_string(seed) +
           R"(, "expires": "2026-12-12T12:00:00Z"})";
}

// The program's devices with a service that answers as the test says, on a clock of the
// day the test says; nothing is shown or played.
struct TicketDevices {
    testing::FakeScreen Screen;
    render::Canvas Canvas;
    testing::ScriptedKeyboard Keyboard;
    testing::RecordingMouse Mouse;
    testing::FakeClock Clock;
    testing::BoxFontLoader Fonts;
    testing::FixedRandom Random;
    testing::RecordingToneStarter Tones;
    testing::RoutingTransport Http;
    platform::PosixClock TransferClock;
    highscore::HighscoreClient Highscore{Http, TransferClock, "http://scores.invalid/", nullptr, [] { return Noon; }};
    testing::RecordingSettings Settings;
    testing::RecordingArchive Games;
    frame::Devices Devices{Screen, Canvas, Keyboard, Mouse, Clock, Fonts, Random, Tones, Highscore, Settings, Games};
};

// A run of the program against that service: start-up, frames with the keys held and the
// bot at the mouse, and the transfers waited for where the test says.
class Session {
public:
    // The service: tickets from `tickets` in turn (then 404), the record as `record`
    // answers, the seed's three requests as a short list does.
    explicit Session(std::vector<platform::HttpAttempt> tickets, platform::HttpAttempt record = testing::Answer(404)) {
        devices.Http.SetAnswer([this, tickets = std::move(tickets), record](const platform::HttpRequest& request) {
            if (request.Url.ends_with("api/v1/games/new")) {
                const std::size_t n = ticketsAsked++;
                return n < tickets.size() ? tickets[n] : testing::Answer(404);
            }
            if (request.Method == HttpMethod::Post) return record;
            if (request.Url.find("BestOffSQL.php") != std::string::npos) return testing::Answer(200, "0\r\n");
            if (request.Url.find("ListeSQL.php") != std::string::npos) return testing::Answer(200, "1\r\n");
            return testing::Answer(200, "");
        });
        devices.Clock.ReadCost = 1'000;  // the frame's wait polls the counter
        devices.Random.Value = OwnSeed;
        started = StartUp(game, devices.Devices, nullptr, {.SoundOn = false, .PlayerName = "Anna"}) ==
                  FrameOutcome::Continue;
        Settle();
    }

    // Waits (bounded) for the transfers, then takes their news in a frame.
    void Settle() {
        for (int i = 0; i < 2000 && devices.Highscore.Busy(); ++i) std::this_thread::sleep_for(5ms);
        EXPECT_FALSE(devices.Highscore.Busy()) << "a transfer is stuck";
        Frame();
    }
    void Frame(std::initializer_list<int> held = {}) {
        devices.Keyboard.Keys = {};
        for (int key : held) devices.Keyboard.Press(key);
        const world::MouseState bot = testing::SteerTowardsExtras(game.Run.World, devices.Mouse.Reads + 1, dropping);
        devices.Mouse.Next = {bot.DeltaX, bot.DeltaY, bot.LeftButton};
        EXPECT_EQ(RunFrame(game, devices.Devices), FrameOutcome::Continue);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) Frame();
    }
    void Tap(int key) {
        Frame({key});
        Frame();
    }
    // A game from F2 to its game over, the bot dropping every ball; the name entry opens.
    bool PlayToGameOver() {
        Tap(Key::F2);
        dropping = true;
        for (int i = 0; i < 10'000 && world::InGame(game.Run.Play); ++i) Frame();
        dropping = false;
        return !world::InGame(game.Run.Play) && game.Run.Mode.NameEntryActive;
    }
    std::size_t TicketRequests() { return devices.Http.Requests("api/v1/games/new", HttpMethod::Post).size(); }
    const std::vector<record::GameRecord>& Games() const { return devices.Games.Games; }

    TicketDevices devices;
    Game game;
    bool started = false;
    std::atomic<std::size_t> ticketsAsked = 0;
    bool dropping = false;
};

std::string TicketOf(const record::GameRecord& game) {
    return {game.Ticket.begin(), game.Ticket.end()};
}

const platform::HttpAttempt Stored = testing::Answer(201, R"({"id": 9, "place": 1, "points": 0, "verified": true})");

TEST(TicketedGame, AGameStartedWithATicketAtHandIsPlayedOnItsSeedAndItsRecordCarriesIt) {
    Session run({testing::Answer(200, TicketAnswer("v1.first", 12345)), testing::Answer(200, TicketAnswer("v1.second", 777))});
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.TicketRequests(), 1u) << "asked for at start-up";
    run.Tap(Key::F2);
    run.Frames(900);  // past the countdown: points count
    run.Tap(Key::Escape);
    run.Settle();
    EXPECT_EQ(run.TicketRequests(), 2u) << "the next one asked for when the first was taken";
    run.Tap(Key::F2);
    run.Frames(300);
    run.Tap(Key::Escape);
    run.Settle();
    run.Tap(Key::F2);
    run.Tap(Key::Escape);

    ASSERT_EQ(run.Games().size(), 3u);
    const record::GameRecord& first = run.Games()[0];
    EXPECT_EQ(first.Seed, 12345u);
    EXPECT_EQ(TicketOf(first), "v1.first");
    EXPECT_EQ(replay::ReplayScore(first), first.Score) << "played on the ticket's seed, as a replay plays it";
    EXPECT_NE(first.Score, 0);
    EXPECT_EQ(run.Games()[1].Seed, 777u);
    EXPECT_EQ(TicketOf(run.Games()[1]), "v1.second");
    EXPECT_EQ(run.Games()[2].Seed, OwnSeed) << "no third ticket came: the game's own seed";
    EXPECT_TRUE(run.Games()[2].Ticket.empty());
}

TEST(TicketedGame, WithoutAUsableTicketTheGamePicksItsOwnSeed) {
    struct Case {
        const char* Name;
        platform::HttpAttempt Answer;
    } const cases[] = {
        {"no connection", platform::HttpAttempt{}},
        {"an older service", testing::Answer(404, "<html>Not Found</html>")},
        {"an older service that knows the path", testing::Answer(405)},
        {"a broken answer", testing::Answer(200, R"({"ticket": "a", "seed": 1)")},
        {"a seed too large", testing::Answer(200, R"({"ticket": "a", "seed": 4294967296, "expires": "2026-12-12T12:00:00Z"})")},
        {"expired", testing::Answer(200, R"({"ticket": "a", "seed": 5, "expires": "2026-12-11T11:00:00Z"})")},
        {"too short a life for a game",
         testing::Answer(200, R"({"ticket": "a", "seed": 5, "expires": "2026-12-11T14:59:00Z"})")},
        {"an error status", testing::Answer(503, TicketAnswer("a", 5))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Session run({c.Answer});
        ASSERT_TRUE(run.started);
        run.Tap(Key::F2);
        run.Tap(Key::Escape);
        ASSERT_EQ(run.Games().size(), 1u);
        EXPECT_EQ(run.Games()[0].Seed, OwnSeed);
        EXPECT_TRUE(run.Games()[0].Ticket.empty());
        run.Settle();
    }
}

TEST(TicketedGame, TheConfirmedNameSendsTheRecordAndTheBestOfTableFollowsAsAfterAScore) {
    Session run({testing::Answer(200, TicketAnswer("v1.t", 4242))}, Stored);
    ASSERT_TRUE(run.PlayToGameOver());
    ASSERT_EQ(run.Games().size(), 1u);
    const record::GameRecord& played = run.Games()[0];
    EXPECT_EQ(played.Seed, 4242u);
    EXPECT_EQ(played.End, record::GameEnd::GameOver);
    run.Settle();
    const std::size_t before = run.devices.Http.Requests().size();
    run.Tap(Key::Enter);
    run.Settle();

    const std::vector<platform::HttpRequest> all = run.devices.Http.Requests();
    const std::vector<platform::HttpRequest> sent(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Method, HttpMethod::Post);
    EXPECT_EQ(sent[0].Url, "http://scores.invalid/api/v1/games?name=Anna");
    EXPECT_EQ(sent[0].ContentType, "application/octet-stream");
    const std::vector<std::uint8_t> encoded = record::EncodeRecord(played);
    EXPECT_TRUE(sent[0].Body == std::string(encoded.begin(), encoded.end())) << "the game's record, as its file holds it";
    EXPECT_EQ(sent[1].Method, HttpMethod::Get);
    EXPECT_EQ(sent[1].Url, "http://scores.invalid/BestOffSQL.php");
    EXPECT_EQ(run.game.Screen.Highscore.Failures, 0u);
    EXPECT_EQ(run.game.Screen.Highscore.KeptSubmissions, 0);
}

TEST(TicketedGame, AnOlderServiceGetsTheSeedsRequestAsBefore) {
    for (const int status : {404, 405}) {
        SCOPED_TRACE(status);
        Session run({testing::Answer(200, TicketAnswer("v1.t", 4242))}, testing::Answer(status));
        ASSERT_TRUE(run.PlayToGameOver());
        const std::int32_t points = RoundToInt(run.game.Run.World.Score);
        run.Settle();
        run.Tap(Key::Enter);
        run.Settle();
        const auto seedRequests = run.devices.Http.Requests("HighScoreSQL.php", HttpMethod::Get);
        ASSERT_EQ(seedRequests.size(), 1u);
        EXPECT_EQ(seedRequests[0].Url, highscore::SubmitUrl("http://scores.invalid/", points, "Anna",
                                                            highscore::BuildCheckText(points, "Anna")));
        EXPECT_EQ(run.devices.Http.Requests("api/v1/games?", HttpMethod::Post).size(), 1u) << "the record went first";
        EXPECT_EQ(run.game.Screen.Highscore.Failures, 0u);
    }
}

// Another game started during the name entry decides the points the entry sends, as it
// always did: they are that game's, which no finished record holds, so the seed's request
// goes.
TEST(TicketedGame, AGameStartedDuringTheNameEntrySendsItsPointsByTheSeedsRequest) {
    Session run({testing::Answer(200, TicketAnswer("v1.t", 4242))}, Stored);
    ASSERT_TRUE(run.PlayToGameOver());
    run.Tap(Key::F2);
    run.Frames(700);
    run.Tap(Key::Escape);  // abandons the new game; the entry is still open under it
    ASSERT_TRUE(run.game.Run.Mode.NameEntryActive);
    run.Settle();
    run.Tap(Key::Enter);
    run.Settle();
    EXPECT_TRUE(run.devices.Http.Requests("api/v1/games?", HttpMethod::Post).empty());
    EXPECT_EQ(run.devices.Http.Requests("HighScoreSQL.php", HttpMethod::Get).size(), 1u);
}

TEST(TicketedGame, ARefusalsSentenceStandsOnTheStatusLineAndNothingIsSentAgain) {
    Session run({testing::Answer(200, TicketAnswer("v1.t", 4242))},
                testing::Answer(422, R"({"error": "replay_mismatch", "text": "Die Partie ergibt nachgerechnet andere Punkte."})"));
    ASSERT_TRUE(run.PlayToGameOver());
    run.Settle();
    run.Tap(Key::Enter);
    run.Settle();
    EXPECT_EQ(run.game.Screen.StatusLine, "Die Partie ergibt nachgerechnet andere Punkte.");
    EXPECT_EQ(run.game.Screen.Highscore.KeptSubmissions, 0);
    EXPECT_TRUE(run.devices.Http.Requests("HighScoreSQL.php", HttpMethod::Get).empty());
}

}  // namespace
}  // namespace zorblet::frame
