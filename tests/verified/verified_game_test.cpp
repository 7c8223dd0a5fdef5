// Games played through the real start-up and frame loop and sent through libcurl to a list
// that verifies them: a bot's game is stored verified at the score the game showed, and
// can be watched again; the same game with its claimed score changed, with one mouse
// reading changed, or another game on a used ticket is refused, and nothing is stored; a
// service older than records gets the seed's request.
//
// The list is the stand-in in tests/support, and the real service once it issues tickets
// (it is then started with --game-key-file; until its --help names that option, its cases
// are skipped and say so). Everything is checked through the service's API, as a player's
// tools would see it, so that both run the same test.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "frame/main_loop.h"
#include "frame/watched_game.h"
#include "highscore/check_text.h"
#include "highscore/fetch_url.h"
#include "highscore/service_urls.h"
#include "platform/curl_http_transport.h"
#include "platform/posix_clock.h"
#include "record/record_format.h"
#include "replay/record_player.h"
#include "server_test.h"
#include "shared/game_math.h"
#include "support/fakes.h"
#include "support/service_stand_in.h"
#include "support/steering_bot.h"
#include "support/tone_fakes.h"

namespace zorblet::frame {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
namespace Key = platform::Key;

// A list the game sends its games to.
class List {
public:
    virtual ~List() = default;
    virtual std::string Url() const = 0;
};

class StandInList final : public List {
    static testing::ServiceStandIn::Options OptionsOf(bool api) {
        testing::ServiceStandIn::Options options;
        options.Api = api;
        return options;
    }

public:
    explicit StandInList(bool api) : standIn_(OptionsOf(api)) {}
    std::string Url() const override { return standIn_.Url(); }

private:
    testing::ServiceStandIn standIn_;
};

class ServiceList final : public List {
public:
    explicit ServiceList(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {"--submit-rate", "0", "--game-key-file",
                                              (directory_.path() / "game.key").string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        server_ = std::make_unique<server::testing::ServerProcess>(
            server::testing::ServerLaunch{directory_.path() / "scores.sqlite", arguments});
    }
    std::string Url() const override { return "http://127.0.0.1:" + std::to_string(server_->port()) + "/"; }
    // Whether this build's service issues tickets at all.
    static bool TakesRecords() {
        return server::testing::RunServerCommand({"--help"}).out.find("--game-key-file") != std::string::npos;
    }

private:
    server::testing::TempDir directory_;
    std::unique_ptr<server::testing::ServerProcess> server_;
};

struct ListKind {
    const char* Name;
    std::function<std::unique_ptr<List>()> Make;
    bool Real = false;
};

// The program's devices with libcurl to the list; nothing is shown or played.
struct NetworkDevices {
    explicit NetworkDevices(const std::string& server) : Highscore(Http, TransferClock, server) {}
    testing::FakeScreen Screen;
    render::Canvas Canvas;
    testing::ScriptedKeyboard Keyboard;
    testing::RecordingMouse Mouse;
    testing::FakeClock Clock;
    testing::BoxFontLoader Fonts;
    testing::FixedRandom Random;
    testing::RecordingToneStarter Tones;
    platform::CurlHttpTransport Http;
    platform::PosixClock TransferClock;
    highscore::HighscoreClient Highscore;
    testing::RecordingSettings Settings;
    testing::RecordingArchive Games;
    frame::Devices Devices{Screen, Canvas, Keyboard, Mouse, Clock, Fonts, Random, Tones, Highscore, Settings, Games};
};

class VerifiedGameTest : public ::testing::TestWithParam<ListKind> {
protected:
    void SetUp() override {
        if (GetParam().Real && !ServiceList::TakesRecords()) {
            GTEST_SKIP() << "this build's service issues no tickets yet (its --help names no --game-key-file)";
        }
        list = GetParam().Make();
        devices = std::make_unique<NetworkDevices>(list->Url());
        devices->Clock.ReadCost = 1'000;  // the frame's wait polls the counter
        devices->Random.Value = 20261211;
        ASSERT_EQ(StartUp(game, devices->Devices, nullptr, {.SoundOn = false, .PlayerName = "J\xFCrgen"}),
                  FrameOutcome::Continue);
        Settle();
    }
    void TearDown() override {
        devices.reset();
        list.reset();
    }

    void Settle() {
        for (int i = 0; i < 3000 && devices->Highscore.Busy(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_FALSE(devices->Highscore.Busy()) << "a transfer is stuck";
        Frame();
    }
    void Frame(std::initializer_list<int> held = {}) {
        devices->Keyboard.Keys = {};
        for (int key : held) devices->Keyboard.Press(key);
        const world::MouseState bot = testing::SteerTowardsExtras(game.Run.World, devices->Mouse.Reads + 1, dropping);
        devices->Mouse.Next = {bot.DeltaX, bot.DeltaY, bot.LeftButton};
        ASSERT_EQ(RunFrame(game, devices->Devices), FrameOutcome::Continue);
    }
    void Tap(int key) {
        Frame({key});
        Frame();
    }
    // A game from F2: the bot plays a while, then drops every ball. The points it shows.
    std::int32_t PlayToGameOver() {
        Tap(Key::F2);
        for (int i = 0; i < 2500; ++i) Frame();
        dropping = true;
        for (int i = 0; i < 10'000 && world::InGame(game.Run.Play); ++i) Frame();
        dropping = false;
        EXPECT_FALSE(world::InGame(game.Run.Play));
        return RoundToInt(game.Run.World.Score);
    }
    // The list's entries through its API, best first.
    json Entries() {
        platform::PosixClock clock;
        const highscore::FetchResult reply =
            highscore::FetchUrl(devices->Http, clock, list->Url() + "api/v1/scores?from=1&count=100");
        EXPECT_EQ(reply.Status, 200);
        const json answer = json::parse(reply.Body, nullptr, false);
        return answer.is_object() && answer.contains("entries") ? answer["entries"] : json::array();
    }
    // Sends a game's record as the name entry would, and waits for the answer.
    void SubmitRecord(const record::GameRecord& record, highscore::WallTime expires) {
        devices->Highscore.SubmitThenRefresh(list->Url() + "HighScoreSQL.php?Punkte=0&Name=X&Check=0",
                                             {std::make_shared<const record::GameRecord>(record), expires},
                                             "J\xFCrgen");
        Settle();
    }

    std::unique_ptr<List> list;
    std::unique_ptr<NetworkDevices> devices;
    Game game;
    bool dropping = false;
};

TEST_P(VerifiedGameTest, ABotsGameIsStoredVerifiedAtTheScoreTheGameShowedAndCanBeWatched) {
    const std::int32_t shown = PlayToGameOver();
    ASSERT_GT(shown, 0);
    const record::GameRecord played = devices->Games.Games.at(0);
    ASSERT_FALSE(played.Ticket.empty()) << "played on a ticket";
    Settle();
    Tap(Key::Enter);
    Settle();

    EXPECT_EQ(game.Screen.Highscore.Failures, 0u) << game.Screen.Highscore.FailureText;
    EXPECT_EQ(game.Screen.Highscore.KeptSubmissions, 0);
    const json entries = Entries();
    ASSERT_EQ(entries.size(), 1u) << entries.dump();
    EXPECT_EQ(entries[0]["points"], shown);
    EXPECT_EQ(entries[0]["name"], "J\xC3\xBCrgen");
    EXPECT_EQ(entries[0]["verified"], true);
    EXPECT_NE(game.Screen.Highscore.HighscoreRows[2].find(std::to_string(shown)), std::string::npos)
        << "the best-of table shows it after the game";

    platform::PosixClock clock;
    const LoadedRecord watched = FetchWatchedGame(devices->Http, clock, list->Url(), 1);
    ASSERT_EQ(watched.Problem, "");
    EXPECT_TRUE(*watched.Verdict.Record == played) << "--watch 1 gets the game as it was played";
}

TEST_P(VerifiedGameTest, ChangedRecordsAndAUsedTicketAreRefusedAndNothingIsStored) {
    PlayToGameOver();
    Settle();
    Tap(Key::Enter);
    Settle();
    ASSERT_EQ(Entries().size(), 1u);
    const record::GameRecord first = devices->Games.Games.at(0);

    PlayToGameOver();  // a second game on a ticket of its own, not sent
    Settle();
    const record::GameRecord second = devices->Games.Games.at(1);
    ASSERT_NE(second.Ticket, first.Ticket);

    record::GameRecord claimsMore = second;
    claimsMore.Score += 1000;
    record::GameRecord steeredOtherwise = second;
    const std::size_t playing = second.Frames.size() / 3;
    steeredOtherwise.Frames[playing].DeltaX += 300;
    ASSERT_NE(replay::ReplayScore(steeredOtherwise), second.Score) << "the change must change the game";
    record::GameRecord usedTicket = first;
    usedTicket.Frames[first.Frames.size() / 3].DeltaY -= 1;
    usedTicket.Score = replay::ReplayScore(usedTicket);
    const std::pair<const char*, const record::GameRecord*> refused[] = {
        {"its claimed score changed", &claimsMore},
        {"one mouse reading changed", &steeredOtherwise},
        {"another game on a used ticket", &usedTicket},
    };
    std::uint64_t failures = game.Screen.Highscore.Failures;
    for (const auto& [name, record] : refused) {
        SCOPED_TRACE(name);
        SubmitRecord(*record, std::chrono::system_clock::now() + 20h);
        EXPECT_EQ(game.Screen.Highscore.Failures, ++failures) << "told";
        EXPECT_NE(game.Screen.Highscore.FailureText, "") << "in the service's words";
        EXPECT_EQ(game.Screen.Highscore.KeptSubmissions, 0) << "nothing to send again";
        EXPECT_EQ(Entries().size(), 1u) << "nothing stored";
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, VerifiedGameTest,
                         ::testing::Values(ListKind{"StandIn", [] { return std::make_unique<StandInList>(true); }},
                                           ListKind{"Service", [] { return std::make_unique<ServiceList>(); }, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A list that takes verified games only: the seed's request of a game played without a
// ticket is refused, the game's failure line carries the service's sentence, and nothing
// is stored or kept to send again.
TEST(VerifiedOnlyList, RefusesTheSeedsRequestInWordsTheGameShows) {
    if (!ServiceList::TakesRecords()) GTEST_SKIP() << "this build's service issues no tickets yet";
    ServiceList list({"--unverified", "refuse"});
    NetworkDevices devices(list.Url());
    const auto settle = [&] {
        for (int i = 0; i < 3000 && devices.Highscore.Busy(); ++i) std::this_thread::sleep_for(10ms);
    };
    devices.Highscore.SubmitThenRefresh(
        highscore::SubmitUrl(list.Url(), 4711, "Anna", highscore::BuildCheckText(4711, "Anna")));
    settle();
    highscore::BoardView board;
    devices.Highscore.Refresh(board);
    EXPECT_EQ(board.Failures, 1u);
    EXPECT_EQ(board.FailureText, "Diese Bestenliste nimmt nur gepr\xFC" "fte Spiele an.");
    EXPECT_EQ(board.KeptSubmissions, 0);
    platform::PosixClock clock;
    const highscore::FetchResult scores =
        highscore::FetchUrl(devices.Http, clock, list.Url() + "api/v1/scores?from=1&count=10");
    EXPECT_EQ(json::parse(scores.Body, nullptr, false)["entries"].size(), 0u) << scores.Body;
}

// A list that knows only the seed's three requests: no ticket, the game's own seed, and
// the score goes by the seed's request, stored as the game showed it.
TEST(OlderList, GetsTheSeedsRequestFromAGamePlayedOnItsOwnSeed) {
    testing::ServiceStandIn::Options options;
    options.Api = false;
    testing::ServiceStandIn older(options);
    NetworkDevices devices(older.Url());
    devices.Clock.ReadCost = 1'000;
    devices.Random.Value = 20261211;
    Game game;
    ASSERT_EQ(StartUp(game, devices.Devices, nullptr, {.SoundOn = false, .PlayerName = "Anna"}), FrameOutcome::Continue);
    const auto settle = [&] {
        for (int i = 0; i < 3000 && devices.Highscore.Busy(); ++i) std::this_thread::sleep_for(10ms);
    };
    bool dropping = false;
    const auto frame = [&](std::initializer_list<int> held = {}) {
        devices.Keyboard.Keys = {};
        for (int key : held) devices.Keyboard.Press(key);
        const world::MouseState bot = testing::SteerTowardsExtras(game.Run.World, devices.Mouse.Reads + 1, dropping);
        devices.Mouse.Next = {bot.DeltaX, bot.DeltaY, bot.LeftButton};
        RunFrame(game, devices.Devices);
    };
    settle();
    frame({Key::F2});
    frame();
    for (int i = 0; i < 1500; ++i) frame();
    dropping = true;
    for (int i = 0; i < 10'000 && world::InGame(game.Run.Play); ++i) frame();
    const std::int32_t shown = RoundToInt(game.Run.World.Score);
    settle();
    frame({Key::Enter});
    frame();
    settle();
    frame();  // takes the transfers' news
    ASSERT_EQ(devices.Games.Games.size(), 1u);
    EXPECT_EQ(devices.Games.Games[0].Seed, 20261211u) << "the game's own seed";
    EXPECT_TRUE(devices.Games.Games[0].Ticket.empty());
    EXPECT_EQ(game.Screen.Highscore.Failures, 0u);
    const std::vector<std::string> requests = older.Requests();
    std::size_t seedRequests = 0;
    for (const std::string& request : requests) seedRequests += request.starts_with("GET /HighScoreSQL.php?Punkte=");
    EXPECT_EQ(seedRequests, 1u);
    EXPECT_NE(requests.back().find("GET /BestOffSQL.php"), std::string::npos) << "the table fetched after it";
    EXPECT_NE(game.Screen.Highscore.HighscoreRows[2].find(std::to_string(shown)), std::string::npos);
}

}  // namespace
}  // namespace zorblet::frame
