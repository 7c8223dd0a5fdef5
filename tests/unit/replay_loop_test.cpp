// --replay's window without a window: the record played picture by picture at the game's
// pace, each picture the shared drawing of its frame, with the record's tones; F4 holds
// it, the arrow keys choose 1x, 2x or 4x, F3 and F11 act as in the game, ESC and the close
// box end it, and the last picture stays.

#include "frame/replay_loop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frame/game.h"
#include "render/replay_frame.h"
#include "support/fakes.h"
#include "support/tone_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

std::uint64_t PictureHash(const render::Canvas& canvas) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (int i = 0; i < render::Canvas::Width * render::Canvas::Height; ++i) {
        hash = (hash ^ canvas.Pixels()[i]) * 0x100000001b3ull;
    }
    return hash;
}

// A game of 450 frames: its countdown, then the paddle swung to and fro with a shot now
// and then.
record::GameRecord SwingingGame() {
    record::GameRecord game{.RulesVersion = world::RulesVersion, .Seed = 424242};
    game.Frames.push_back({.F2Released = true});
    for (int i = 1; i < 450; ++i) {
        record::FrameInput frame;
        if (i > 301) frame = {.DeltaX = (i / 20) % 2 == 0 ? 6 : -6, .DeltaY = 0, .LeftButton = i % 40 < 3};
        game.Frames.push_back(frame);
    }
    return game;
}

// The pictures and tones of the record, frame by frame, as the shared drawing draws them.
struct Expected {
    std::vector<std::uint64_t> Pictures;  // [n]: the picture after n + 1 frames
    std::vector<std::vector<testing::EffectStart>> Tones;
};

Expected ExpectedOf(const record::GameRecord& game) {
    Expected expected;
    testing::BoxFontLoader loader;
    const render::Fonts fonts = render::CreateFonts(loader);
    render::Canvas canvas;
    replay::RecordPlayer player(game);
    while (!player.Finished()) {
        testing::RecordingToneStarter tones;
        player.Step(tones);
        expected.Tones.push_back(tones.Starts);
        render::DrawReplayFrame(canvas, fonts, player.State(), player.CountdownDigit());
        expected.Pictures.push_back(PictureHash(canvas));
    }
    return expected;
}

class ReplayLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock.ReadCost = 1'000;  // the frame's wait polls the counter
        StartReplay(view, devices, true);
        EXPECT_TRUE(screen.Opened);
    }
    FrameOutcome Picture(std::initializer_list<int> held = {}) {
        keyboard.Keys = {};
        for (int key : held) keyboard.Press(key);
        return RunReplayFrame(view, devices);
    }
    void Tap(int key) {
        ASSERT_EQ(Picture({key}), FrameOutcome::Continue);
        ASSERT_EQ(Picture(), FrameOutcome::Continue);
    }
    std::size_t Frame() const { return view.Player.FramesPlayed(); }
    std::uint64_t Shown() const { return PictureHash(canvas); }

    const record::GameRecord game = SwingingGame();
    Expected expected;
    testing::FakeScreen screen;
    render::Canvas canvas;
    testing::ScriptedKeyboard keyboard;
    testing::FakeClock clock;
    testing::BoxFontLoader fonts;
    testing::RecordingToneStarter tones;
    testing::RecordingSettings settings;
    ReplayDevices devices{screen, canvas, keyboard, clock, fonts, tones, settings};
    ReplayView view{game};
};

TEST_F(ReplayLoopTest, PlaysFrameByFrameAtTheGamesPaceWithItsTonesAndKeepsTheLastPicture) {
    expected = ExpectedOf(game);
    std::vector<testing::EffectStart> allTones;
    const std::uint64_t start = clock.Now;
    for (std::size_t n = 0; n < game.Frames.size(); ++n) {
        ASSERT_EQ(Picture(), FrameOutcome::Continue);
        ASSERT_EQ(Frame(), n + 1);
        ASSERT_EQ(Shown(), expected.Pictures[n]) << "the picture of frame " << n + 1;
        allTones.insert(allTones.end(), expected.Tones[n].begin(), expected.Tones[n].end());
    }
    EXPECT_EQ(screen.Presents, 450);
    EXPECT_EQ(tones.Starts, allTones) << "every tone of the game, as it started them";
    EXPECT_GT(allTones.size(), 4u) << "the countdown's beeps and the shots' clicks";
    const double seconds = static_cast<double>(clock.Now - start) / 1e9;
    EXPECT_NEAR(seconds, 450.0 / 121.0, 0.05) << "121 pictures a second, the game's pace";
    EXPECT_EQ(screen.Title, "Zorblet 1.00 - Wiedergabe zu Ende");

    for (int i = 0; i < 30; ++i) ASSERT_EQ(Picture(), FrameOutcome::Continue);
    EXPECT_EQ(Shown(), expected.Pictures.back()) << "the last picture stays";
    EXPECT_EQ(Picture({Key::Escape}), FrameOutcome::Continue) << "ESC acts on its release";
    EXPECT_EQ(Picture(), FrameOutcome::EndProgram);
}

TEST_F(ReplayLoopTest, F4HoldsTheArrowKeysChooseTheSpeedAndEscapeLeaves) {
    expected = ExpectedOf(game);
    for (int i = 0; i < 320; ++i) Picture();
    EXPECT_EQ(screen.Title, "Zorblet 1.00 - Wiedergabe 1x");
    Tap(Key::F4);
    const std::size_t held = Frame();
    for (int i = 0; i < 20; ++i) Picture();
    EXPECT_EQ(Frame(), held);
    EXPECT_EQ(Shown(), expected.Pictures[held - 1]) << "the picture stands still";
    EXPECT_EQ(screen.Title, "Zorblet 1.00 - Wiedergabe 1x, angehalten");
    Tap(Key::F4);

    struct Step {
        int Key;
        std::size_t FramesAPicture;
    };
    const Step steps[] = {{Key::Right, 2}, {Key::Up, 4},   {Key::Right, 4},
                          {Key::Left, 2},  {Key::Down, 1}, {Key::Left, 1}};
    for (const Step& step : steps) {
        Tap(step.Key);
        const std::size_t before = Frame();
        Picture();
        EXPECT_EQ(Frame() - before, step.FramesAPicture) << "after key " << step.Key;
        EXPECT_EQ(Shown(), expected.Pictures[Frame() - 1]) << "the picture of the frame reached";
    }
    Tap(Key::Right);
    EXPECT_EQ(screen.Title, "Zorblet 1.00 - Wiedergabe 2x");
    ASSERT_EQ(Picture({Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(Picture(), FrameOutcome::EndProgram);
}

TEST_F(ReplayLoopTest, F3AndF11ActAsInTheGameAndTheCloseBoxEndsIt) {
    Picture();
    Tap(Key::F3);
    const std::size_t started = tones.Starts.size();
    for (int i = 0; i < 450; ++i) Picture();
    EXPECT_EQ(tones.Starts.size(), started) << "silent after F3";
    EXPECT_TRUE(view.Player.Finished()) << "through the countdown's beeps and the shots";
    EXPECT_EQ(settings.SoundOn, 0) << "remembered as in the game";
    Tap(Key::F11);
    EXPECT_TRUE(screen.Fullscreen);
    EXPECT_EQ(settings.Fullscreen, 1);
    screen.CloseRequested = true;
    EXPECT_EQ(Picture(), FrameOutcome::EndProgram);
}

}  // namespace
}  // namespace zorblet::frame
