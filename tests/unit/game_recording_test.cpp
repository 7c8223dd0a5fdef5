// The game's recorder through the real start-up and frame loop: every game is handed over
// as a record from the frame whose F2 started it to its end, the record replays to the
// game's states frame for frame and to the score the game showed, and the replay's
// pictures, drawn by the drawing --replay and the browser's viewer share, are the game's
// own pictures of the same frames, pixel for pixel.

#include <gtest/gtest.h>

#include <cstdint>

#include "frame/game_recording.h"
#include "frame/main_loop.h"
#include "replay/record_player.h"
#include "shared/game_math.h"
#include "support/frame_fakes.h"
#include "support/game_watch.h"
#include "support/steering_bot.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

constexpr int PlayLimit = 6'000;  // frames to find a contact and the gate in

class GameRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        devices.Clock.ReadCost = 1'000;  // the frame's wait polls the counter
        devices.Random.Value = 20261211;
        ASSERT_EQ(StartUp(game, devices.Devices), FrameOutcome::Continue);
    }

    // One frame of the real loop with the keys given held and the bot at the mouse.
    void Frame(std::initializer_list<int> held = {}) {
        devices.Keyboard.Keys = {};
        for (int key : held) devices.Keyboard.Press(key);
        const world::MouseState bot = testing::SteerTowardsExtras(game.Run.World, devices.Mouse.Reads + 1, false);
        devices.Mouse.Next = {bot.DeltaX, bot.DeltaY, bot.LeftButton};
        ASSERT_EQ(RunFrame(game, devices.Devices), FrameOutcome::Continue);
        watch.AfterFrame(game, devices.Canvas, devices.Games.Games.size());
    }
    // A key tapped: held for a frame, released in the next, which acts on it.
    void Tap(int key) {
        Frame({key});
        Frame();
    }

    testing::FakeDevices devices;
    Game game;
    testing::GameWatch watch;
};

// A game played until the paddle has met the ball and the gate has stood, then left with
// F2 for another: its record holds it from its F2 frame to the frame before the next
// one's, and replays to its states, its score and its pictures, the last one included.
// (The replay test holds a game played to its game over against its record the same way.)
TEST_F(GameRecordingTest, AGameLeftWithF2ReplaysToItsStatesScoreAndPictures) {
    for (int i = 0; i < 30; ++i) Frame();
    EXPECT_TRUE(watch.Games.empty()) << "the menu's demonstration is not recorded";
    Tap(Key::F2);
    ASSERT_EQ(watch.Games.size(), 1u);
    const auto seen = [&](const char* what) { return watch.Games[0].Sampled.contains(what); };
    for (int i = 0; i < PlayLimit && !(seen("after the first contact") && seen("in the gate")); ++i) Frame();
    ASSERT_TRUE(seen("after the first contact") && seen("in the gate")) << "not within " << PlayLimit << " frames";
    for (int i = 0; i < 50; ++i) Frame();
    Frame({Key::F2});  // the first game's last frame: F2 is held, and acts on its release
    watch.Sample("the last frame");
    EXPECT_EQ(game.Run.Play.Now, world::Phase::Playing);
    const std::int32_t shown = RoundToInt(game.Run.World.Score);
    Frame();
    ASSERT_EQ(devices.Games.Games.size(), 1u) << "F2 ended the first game";
    ASSERT_EQ(watch.Games.size(), 2u) << "and started the next";

    const record::GameRecord& first = devices.Games.Games[0];
    EXPECT_EQ(first.End, record::GameEnd::NewGame);
    EXPECT_EQ(first.Seed, devices.Random.Value);
    EXPECT_EQ(first.RulesVersion, world::RulesVersion);
    EXPECT_TRUE(first.Frames.front().F2Released);
    EXPECT_EQ(first.Score, shown) << "the points shown in its last frame";
    EXPECT_EQ(watch.Games[0].Sampled.size(), 4u) << "first, contact, gate, last";
    testing::ExpectReplayOf(first, watch.Games[0]);
}

// Each way a game ends hands over its record once, with the points on show then; the
// menu's demonstration around it is never recorded.
TEST_F(GameRecordingTest, EveryEndOfAGameHandsOverItsRecord) {
    for (int i = 0; i < 10; ++i) Frame();
    Tap(Key::F2);
    for (int i = 0; i < 400; ++i) Frame();
    const std::int32_t shown = RoundToInt(game.Run.World.Score);
    Tap(Key::Escape);
    ASSERT_EQ(devices.Games.Games.size(), 1u);
    const record::GameRecord& abandoned = devices.Games.Games[0];
    EXPECT_EQ(abandoned.End, record::GameEnd::Abandoned);
    EXPECT_EQ(abandoned.Frames.size(), 403u) << "from the F2 frame to the ESC frame";
    EXPECT_TRUE(abandoned.Frames.back().EscapeReleased);
    EXPECT_EQ(abandoned.Score, RoundToInt(game.Run.World.Score));
    EXPECT_EQ(replay::ReplayScore(abandoned), abandoned.Score);
    EXPECT_NE(shown, 0) << "a shot or the ball's travel counted";

    for (int i = 0; i < 100; ++i) Frame();
    EXPECT_EQ(devices.Games.Games.size(), 1u) << "nothing recorded in the menu";

    // A game started while paused carries the pause in its first frame; the program's
    // end keeps a game that still runs.
    Tap(Key::F4);
    Tap(Key::F2);
    Frame();
    Tap(Key::F4);
    for (int i = 0; i < 500; ++i) Frame();
    devices.Screen.CloseRequested = true;
    RunMainLoop(game, devices.Devices);
    ASSERT_EQ(devices.Games.Games.size(), 2u);
    const record::GameRecord& ended = devices.Games.Games[1];
    EXPECT_EQ(ended.End, record::GameEnd::Abandoned);
    EXPECT_TRUE(ended.Frames.front().F2Released && ended.Frames.front().F4Released);
    EXPECT_EQ(ended.Frames.size(), 504u);
    EXPECT_EQ(ended.Score, RoundToInt(game.Run.World.Score));
    EXPECT_EQ(replay::ReplayScore(ended), ended.Score);
}

// A game longer than a record may hold (three hours) is kept up to that length, with the
// points shown in its last kept frame; the rest of it is not recorded.
RecordedStep MouseStep(std::int32_t scoreShownBefore, std::int32_t deltaX) {
    RecordedStep step;
    step.ScoreShownBefore = scoreShownBefore;
    step.Input.Mouse = {deltaX, 0, false};
    return step;
}

TEST(RecordStep, AGameLongerThanARecordIsKeptUpToItsLength) {
    record::Recorder recorder;
    testing::RecordingArchive archive;
    world::GameState state;
    RecordedStep start;
    start.NewGameSeed = 5;
    start.Events.GameStarted = true;
    RecordStep(recorder, archive, state, start);
    for (std::uint32_t frame = 1; frame < record::MaxFrames; ++frame) {
        RecordStep(recorder, archive, state, MouseStep(7, 1));
    }
    EXPECT_TRUE(archive.Games.empty());
    RecordStep(recorder, archive, state, MouseStep(8, 2));
    ASSERT_EQ(archive.Games.size(), 1u);
    EXPECT_EQ(archive.Games[0].Frames.size(), record::MaxFrames);
    EXPECT_EQ(archive.Games[0].End, record::GameEnd::Abandoned);
    EXPECT_EQ(archive.Games[0].Score, 8) << "the points shown after its last kept frame";
    EXPECT_EQ(archive.Games[0].Frames.back().DeltaX, 1);
    RecordStep(recorder, archive, state, MouseStep(9, 3));
    EXPECT_EQ(archive.Games.size(), 1u) << "nothing more of that game";
}

}  // namespace
}  // namespace zorblet::frame
