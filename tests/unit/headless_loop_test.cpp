// The real start-up and main loop on SDL's dummy video driver, with a scripted keyboard.

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "frame/main_loop.h"
#include "highscore/local_date.h"
#include "platform/sdl_platform.h"
#include "support/fakes.h"
#include "support/http_fakes.h"
#include "support/world_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;
using render::TextColour;

class CountingObserver final : public FrameObserver {
public:
    int Presents = 0;
    void FramePresented() override { ++Presents; }
};

class HeadlessLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // the platform opens a sound device too
        platform = platform::StartSdlPlatform();
        UseHighscoreService(http, platform->Clock);
        game = std::make_unique<Game>();
    }
    // Waits for the transfers, before what they use goes away.
    void EndTransfers() {
        devices.reset();
        highscore.reset();
    }
    // The transfers go through this transport; their retries wait on this clock.
    void UseHighscoreService(platform::HttpTransport& transport, platform::Clock& transferClock) {
        devices.reset();
        highscore = std::make_unique<highscore::HighscoreClient>(transport, transferClock, "http://scores.invalid/");
        devices = std::make_unique<Devices>(
            Devices{platform->Screen, canvas, keyboard, mouse, platform->Clock, *platform->Fonts, random, tones, *highscore,
                    settings, games});
    }
    void TearDown() override {
        game.reset();
        highscore.reset();
        platform->ShutDown();
    }

    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) ASSERT_EQ(RunFrame(*game, *devices, &observer), FrameOutcome::Continue);
    }
    void TapKey(int key) {
        keyboard.Press(key);
        RunFrames(2);
        keyboard.Lift(key);
        RunFrames(1);  // the release acts at the head of this frame, which shows it
    }
    // The columns the colour spans in the rows top..bottom - 1; 0 when it is not there.
    int WidthInBand(render::Colour colour, int top, int bottom) const {
        int left = render::Canvas::Width, right = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < render::Canvas::Width; ++x)
                if (canvas.PixelAt(x, y) == colour) left = std::min(left, x), right = std::max(right, x);
        return right < left ? 0 : right - left + 1;
    }
    int PixelsInBand(render::Colour colour, int top, int bottom) const {
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < render::Canvas::Width; ++x) found += canvas.PixelAt(x, y) == colour;
        return found;
    }

    std::unique_ptr<platform::SdlPlatform> platform;
    render::Canvas canvas;
    testing::ScriptedKeyboard keyboard;
    testing::RecordingMouse mouse;
    testing::FixedRandom random;
    testing::RecordingSettings settings;
    testing::RecordingArchive games;
    testing::RecordingToneStarter tones;
    testing::AnsweringTransport http;
    std::unique_ptr<highscore::HighscoreClient> highscore;
    CountingObserver observer;
    std::unique_ptr<Devices> devices;
    std::unique_ptr<Game> game;
};

TEST_F(HeadlessLoopTest, MenuHelpPauseAndEscapeThroughTheRealLoop) {
    StartUp(*game, *devices, &observer);
    EXPECT_EQ(observer.Presents, 1) << "one black frame during start-up";
    EXPECT_FALSE(mouse.Captured) << "start-up ends with the mouse released";
    EXPECT_TRUE(game->Run.SoundOn);

    RunFrames(120);
    EXPECT_EQ(game->Run.World.AnimAngle, 240);
    EXPECT_GT(game->Machine.Fps.FpsFrames, 0);
    EXPECT_GT(PixelsInBand(TextColour, 350, 380), 100) << "first menu line";
    EXPECT_GT(PixelsInBand(TextColour, 510, 540), 100) << "last menu line";
    EXPECT_GT(PixelsInBand(TextColour, 0, 20), 10) << "FPS reading";
    EXPECT_GT(PixelsInBand(TextColour, 570, 600), 100) << "score, lives and credit line";
    EXPECT_GT(PixelsInBand(TextColour, 30, 50), 100) << "the highscore table's heading";
    EXPECT_EQ(PixelsInBand(render::StatusColour, 315, 345), 0) << "no transfer runs, none failed";

    TapKey(Key::F1);
    EXPECT_EQ(game->Run.Mode.HelpShown, 1);
    EXPECT_GT(PixelsInBand(TextColour, 50, 70), 100) << "help title";
    EXPECT_GT(PixelsInBand(TextColour, 420, 440), 100) << "last help line";
    EXPECT_EQ(PixelsInBand(TextColour, 470, 560), 0) << "menu hidden behind the help page";
    TapKey(Key::F1);
    EXPECT_GT(PixelsInBand(TextColour, 510, 540), 100) << "menu back";

    TapKey(Key::F4);
    const auto frozenAngle = game->Run.World.AnimAngle;
    RunFrames(10);
    EXPECT_EQ(game->Run.World.AnimAngle, frozenAngle) << "paused";
    TapKey(Key::F4);
    EXPECT_GT(game->Run.World.AnimAngle, frozenAngle);

    keyboard.Press(Key::Escape);
    RunFrames(1);
    keyboard.Lift(Key::Escape);
    EXPECT_EQ(RunFrame(*game, *devices, &observer), FrameOutcome::EndProgram);
}

TEST_F(HeadlessLoopTest, AGameFromF2ToItsLastLostBall) {
    using sound::ToneEffect;
    using testing::EffectStart;
    StartUp(*game, *devices, &observer);
    RunFrames(5);
    EXPECT_FALSE(mouse.Captured) << "the demonstration leaves the mouse alone";
    TapKey(Key::F2);
    EXPECT_EQ(game->Run.Play.Lives, 3);
    EXPECT_EQ(game->Run.Play.Countdown, 600);
    EXPECT_GT(PixelsInBand(TextColour, 270, 300), 50) << "the countdown digit";
    EXPECT_EQ(tones.Starts.back(), (EffectStart{ToneEffect::Beep, 440}));
    EXPECT_FALSE(mouse.Captured) << "free until the world moves";

    RunFrames(300);
    EXPECT_EQ(game->Run.Play.Countdown, 0);
    EXPECT_EQ(tones.Starts.back(), (EffectStart{ToneEffect::Beep, 880}));
    RunFrames(1);
    EXPECT_EQ(PixelsInBand(TextColour, 270, 300), 0) << "the digit is gone";

    const int paddleX = game->Run.World.PaddleX;
    mouse.Next = {-7, 0, true};
    RunFrames(3);
    EXPECT_TRUE(mouse.Captured);
    EXPECT_EQ(game->Run.World.PaddleX, paddleX - 21);
    EXPECT_TRUE(game->Run.World.Shots.empty()) << "the button is still held";
    mouse.Next = {0, 0, false};
    RunFrames(1);
    EXPECT_EQ(game->Run.World.Shots.size(), 1u);
    EXPECT_LT(game->Run.World.Score, 0.0f) << "a shot costs 10 points";

    for (int lives = 3; lives > 0; --lives) {
        game->Run.Play.Countdown = 0;
        game->Run.World.BallY = 700.0f;
        RunFrames(1);
        EXPECT_EQ(game->Run.Play.Lives, lives - 1);
    }
    EXPECT_EQ(std::count(tones.Starts.begin(), tones.Starts.end(), EffectStart{ToneEffect::LifeLost, 1}), 2);
    EXPECT_EQ(tones.Starts.back(), (EffectStart{ToneEffect::GameOverTune, 1}));
    EXPECT_FALSE(mouse.Captured) << "game over frees the mouse";
    EXPECT_EQ(game->Run.World.Score, std::nearbyint(game->Run.World.Score));
    EXPECT_EQ(game->Run.Mode.NameEntryActive, true) << "the name entry opens";
    EXPECT_EQ(game->Screen.Names.GameDate, highscore::FormatDate());
    const std::string listUrl =
        "http://scores.invalid/ListeSQL.php?Punkte=" + std::to_string(static_cast<int>(game->Run.World.Score));
    RunFrames(5);
    for (int frame = 0; frame < 10 * FrameRate && devices->Highscore.Busy(); ++frame) RunFrames(1);
    const auto urls = http.Urls();
    EXPECT_EQ(std::count(urls.begin(), urls.end(), listUrl), 1) << "the list around the score";
    EXPECT_GT(PixelsInBand(TextColour, 350, 380), 100) << "the menu is back";

    TapKey(30);  // a
    EXPECT_EQ(game->Screen.PlayerName, "a");
    TapKey(Key::Enter);
    EXPECT_EQ(game->Run.Mode.NameEntryActive, false);
    // The frames go on while the transfers run; a slow machine may need a few more.
    RunFrames(5);
    for (int frame = 0; frame < 10 * FrameRate && devices->Highscore.Busy(); ++frame) RunFrames(1);
    EXPECT_NE(http.Urls().back().find("BestOffSQL.php"), std::string::npos);
    EXPECT_NE(http.Urls()[http.Urls().size() - 2].find("HighScoreSQL.php?Punkte="), std::string::npos);
}

TEST_F(HeadlessLoopTest, F3SilencesTheEffectsStartedAfterItUntilItIsPressedAgain) {
    using sound::ToneEffect;
    using testing::EffectStart;
    StartUp(*game, *devices, &observer);
    TapKey(Key::F3);
    EXPECT_FALSE(game->Run.SoundOn);
    TapKey(Key::F2);
    RunFrames(400);
    EXPECT_TRUE(std::none_of(tones.Starts.begin(), tones.Starts.end(), [](const EffectStart& e) {
        return e.Effect == ToneEffect::Beep;
    })) << "no countdown beep";
    TapKey(Key::F3);
    TapKey(Key::F2);
    EXPECT_EQ(tones.Starts.back(), (EffectStart{ToneEffect::Beep, 440})) << "the next countdown is heard";
}

TEST_F(HeadlessLoopTest, TheLastRunsChoicesStartThisOneAndItsOwnAreRemembered) {
    StartUp(*game, *devices, &observer, {.SoundOn = false, .PlayerName = "J\xF6rg"});
    EXPECT_FALSE(game->Run.SoundOn) << "sound off, as remembered";
    EXPECT_EQ(settings.Writes, 0) << "starting writes nothing";
    TapKey(Key::F3);
    EXPECT_EQ(settings.SoundOn, 1);
    TapKey(Key::F11);
    EXPECT_EQ(settings.Fullscreen, 1);
    TapKey(Key::F11);
    EXPECT_EQ(settings.Fullscreen, 0);

    TapKey(Key::F2);
    game->Run.Play.Lives = 1;
    game->Run.Play.Countdown = 0;
    game->Run.Play.Now = world::Phase::Playing;
    game->Run.World.BallY = 700.0f;
    RunFrames(1);
    ASSERT_TRUE(game->Run.Mode.NameEntryActive);
    EXPECT_EQ(game->Screen.Names.Input.EditText, "J\xF6rg") << "the name entry starts with the remembered name";
    TapKey(Key::F11);  // in the name entry too, without typing anything
    EXPECT_EQ(settings.Fullscreen, 1);
    EXPECT_EQ(game->Screen.Names.Input.EditText, "J\xF6rg");
    TapKey(30);  // a
    EXPECT_EQ(settings.Name, "") << "nothing is remembered before Enter";
    TapKey(Key::Enter);
    EXPECT_FALSE(game->Run.Mode.NameEntryActive);
    EXPECT_EQ(settings.Name, "J\xF6rga");
    EXPECT_EQ(settings.Writes, 5);
    RunFrames(5);
    for (int frame = 0; frame < 10 * FrameRate && devices->Highscore.Busy(); ++frame) RunFrames(1);
}

TEST_F(HeadlessLoopTest, ClosingTheWindowDuringTheFirstFetchEndsTheProgramAtOnce) {
    testing::HeldTransport held;
    UseHighscoreService(held, platform->Clock);
    std::thread closer([&] {
        held.WaitForCalls(1);
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    });
    EXPECT_EQ(StartUp(*game, *devices, &observer), FrameOutcome::EndProgram) << "while the fetch hangs";
    closer.join();
    EXPECT_EQ(observer.Presents, 0) << "nothing was drawn yet";
    held.Release();
    EndTransfers();
}

TEST_F(HeadlessLoopTest, FailedTransferIsToldOnTheStatusLineForAboutFiveSecondsBesideTheTable) {
    testing::SharedFakeClock transferClock;  // the ten attempts take no real time
    testing::ScriptedHttpTransport refused(transferClock);
    refused.Steps = {{platform::HttpAttempt{}, 0}};
    UseHighscoreService(refused, transferClock);
    ASSERT_EQ(StartUp(*game, *devices, &observer), FrameOutcome::Continue);
    RunFrames(10);
    EXPECT_GT(PixelsInBand(render::StatusColour, 315, 345), 100) << "Datenübertragung nicht möglich!";
    EXPECT_GT(PixelsInBand(TextColour, 30, 50), 100) << "the table is still there";
    RunFrames(5 * FrameRate);
    EXPECT_EQ(PixelsInBand(render::StatusColour, 315, 345), 0) << "gone after about five seconds";
    EndTransfers();
}

TEST_F(HeadlessLoopTest, KeptSubmissionIsToldBesideTheTableAndGivingItUpLikeAnyFailure) {
    testing::AnsweringTransport refusesSubmissions({{"HighScoreSQL", "", true}});
    testing::SharedFakeClock transferClock;  // the attempts and the resends take no real time
    UseHighscoreService(refusesSubmissions, transferClock);
    ASSERT_EQ(StartUp(*game, *devices, &observer), FrameOutcome::Continue);
    RunFrames(5);
    devices->Highscore.SubmitThenRefresh("http://scores.invalid/HighScoreSQL.php?Punkte=5&Name=A&Check=5551065132");
    // While an attempt runs the line says "Daten werden übertragen...": a slow machine
    // draws frames during the attempt, so only a line drawn with no transfer running counts.
    const auto idleStatusWidth = [&] {
        return game->Screen.Highscore.StatusText.empty() ? WidthInBand(render::StatusColour, 315, 345) : 0;
    };
    int keptWidth = 0;
    for (int frame = 0; frame < 5 * FrameRate && keptWidth == 0; ++frame) {
        RunFrames(1);
        keptWidth = idleStatusWidth();
    }
    EXPECT_GT(keptWidth, 400) << "Keine Verbindung, Punkte werden nachgesendet";
    EXPECT_GT(PixelsInBand(TextColour, 30, 50), 100) << "beside the table";
    EXPECT_EQ(game->Screen.Highscore.StatusText, "") << "waiting is no running transfer";

    transferClock.AdvanceMs(60'000);  // past the last resend
    int failureWidth = keptWidth;
    for (int frame = 0; frame < 10 * FrameRate && (failureWidth == keptWidth || failureWidth == 0); ++frame) {
        RunFrames(1);
        failureWidth = idleStatusWidth();
    }
    EXPECT_GT(failureWidth, 200) << "Datenübertragung nicht möglich!";
    EXPECT_LT(failureWidth, keptWidth - 100);
    EXPECT_EQ(game->Screen.Highscore.KeptSubmissions, 0);
    EndTransfers();
}

// The longest sentence of a refusal the game takes fits on the status line in the game's
// own fonts, centred, and stands there about as long as a failure does.
TEST_F(HeadlessLoopTest, ARefusalIsToldInTheServicesWordsOnTheStatusLine) {
    const std::string sentence(highscore::MaxRefusalCharacters, 'W');
    testing::RoutingTransport refusing([&](const platform::HttpRequest& request) {
        if (request.Method == platform::HttpMethod::Post && request.Url.find("api/v1/games?") != std::string::npos) {
            return testing::Answer(422, R"({"error": "replay_mismatch", "text": ")" + sentence + R"("})");
        }
        return testing::Answer(request.Method == platform::HttpMethod::Post ? 404 : 200, "");
    });
    UseHighscoreService(refusing, platform->Clock);
    ASSERT_EQ(StartUp(*game, *devices, &observer), FrameOutcome::Continue);
    RunFrames(5);
    record::GameRecord played{.RulesVersion = 1, .Seed = 5, .Score = 10, .Ticket = {'t'}};
    played.Frames.resize(3);
    devices->Highscore.SubmitThenRefresh(
        "http://scores.invalid/HighScoreSQL.php?Punkte=10&Name=A&Check=10310561201518",
        {std::make_shared<const record::GameRecord>(played), std::chrono::system_clock::now() + std::chrono::hours(20)},
        "A");
    for (int frame = 0; frame < 10 * FrameRate && game->Screen.StatusLine != sentence; ++frame) RunFrames(1);
    ASSERT_EQ(game->Screen.StatusLine, sentence);
    const int width = WidthInBand(render::StatusColour, 315, 345);
    EXPECT_GT(width, 400);
    EXPECT_LE(width, render::Canvas::Width - 4) << "whole, with a margin on both sides";
    RunFrames(5 * FrameRate);
    EXPECT_EQ(PixelsInBand(render::StatusColour, 315, 345), 0) << "gone after about five seconds";
    EndTransfers();
}

TEST_F(HeadlessLoopTest, CloseRequestIsFoundBehindAFloodOfEvents) {
    StartUp(*game, *devices, &observer);
    RunFrames(3);
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    for (int i = 0; i < 5000; ++i) SDL_PushEvent(&event);
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    EXPECT_EQ(RunFrame(*game, *devices, &observer), FrameOutcome::EndProgram);
}

TEST_F(HeadlessLoopTest, CloseRequestEndsEveryState) {
    StartUp(*game, *devices, &observer);
    const std::function<void(Game&)> states[] = {
        [](Game& g) { g.Run.Play.Paused = true; },
        [](Game& g) { g.Run.Play = {.Now = world::Phase::GetReady, .Paused = false, .Lives = 3, .Countdown = 602}; },
        [](Game& g) { g.Run.Mode.NameEntryActive = true; },
        [](Game& g) {
            g.Run.Play = {.Now = world::Phase::Playing, .Paused = false, .Lives = 2, .Countdown = 0};
            g.Run.Mode.HelpShown = true;
        },
    };
    for (const auto& enter : states) {
        enter(*game);
        RunFrames(2);
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
        EXPECT_EQ(RunFrame(*game, *devices, &observer), FrameOutcome::EndProgram);
        game = std::make_unique<Game>();
        game->Machine.Fonts = render::CreateFonts(*platform->Fonts);
    }
}

}  // namespace
}  // namespace zorblet::frame
