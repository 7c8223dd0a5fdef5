// The recorder: a game as it was played, frame by frame, from its start to its end, in
// room taken when it starts.

#include <gtest/gtest.h>

#include "record/recorder.h"

namespace zorblet::record {
namespace {

TEST(Recorder, KeepsTheGameFromItsStartToItsEnd) {
    Recorder recorder;
    EXPECT_FALSE(recorder.AddFrame({.DeltaX = 1})) << "no game yet";
    recorder.StartGame(3, 0xfeedull << 40, {1, 2, 3});
    EXPECT_TRUE(recorder.Recording());
    const std::vector<FrameInput> frames{{.F2Released = true}, {.DeltaX = -4, .DeltaY = 9, .LeftButton = true},
                                         {.EscapeReleased = true}};
    for (const FrameInput& frame : frames) EXPECT_TRUE(recorder.AddFrame(frame));
    EXPECT_EQ(recorder.FrameCount(), 3u);

    const GameRecord game = recorder.FinishGame(1234, GameEnd::Abandoned);
    EXPECT_TRUE(game == (GameRecord{.RulesVersion = 3,
                                    .Seed = 0xfeedull << 40,
                                    .Frames = frames,
                                    .Score = 1234,
                                    .End = GameEnd::Abandoned,
                                    .Ticket = {1, 2, 3}}));
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(recorder.AddFrame({})) << "the game is over";
}

TEST(Recorder, ANewStartForgetsAnUnfinishedGame) {
    Recorder recorder;
    recorder.StartGame(1, 1, {9});
    recorder.AddFrame({.DeltaX = 5});
    recorder.StartGame(1, 2);
    recorder.AddFrame({.DeltaY = 6});
    const GameRecord game = recorder.FinishGame(0, GameEnd::NewGame);
    EXPECT_EQ(game.Seed, 2u);
    EXPECT_TRUE(game.Ticket.empty());
    ASSERT_EQ(game.Frames.size(), 1u);
    EXPECT_EQ(game.Frames[0].DeltaY, 6);
}

// Within the room taken at the start no frame allocates: the frames never move.
TEST(Recorder, AGameWithinItsRoomNeverGrowsIt) {
    Recorder recorder(1'000);
    for (int game = 0; game < 2; ++game) {
        recorder.StartGame(1, 1);
        for (int i = 0; i < 1'000; ++i) recorder.AddFrame({.DeltaX = i});
        EXPECT_EQ(recorder.FinishGame(0, GameEnd::GameOver).Frames.capacity(), 1'000u);
    }
}

TEST(Recorder, StopsKeepingFramesAtTheLimit) {
    Recorder recorder;
    recorder.StartGame(1, 1);
    for (std::uint32_t i = 0; i < MaxFrames; ++i) ASSERT_TRUE(recorder.AddFrame({}));
    EXPECT_FALSE(recorder.AddFrame({.DeltaX = 1}));
    EXPECT_EQ(recorder.FinishGame(0, GameEnd::GameOver).Frames.size(), MaxFrames);
}

}  // namespace
}  // namespace zorblet::record
