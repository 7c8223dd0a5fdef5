#pragma once
// Watches the games played through the real frame loop, to hold the records the game's
// recorder hands over against them: the state after each frame of each game, and the
// pictures of a few telling frames (the first, the first paddle contact, the bumper ring
// and the gate standing, the last in play). ExpectReplayOf replays a record with the
// replay library and draws the same frames with the drawing --replay and the browser's
// viewer share: the same states, the same score, the same pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "frame/game.h"
#include "render/canvas.h"
#include "render/replay_frame.h"
#include "replay/record_player.h"
#include "shared/game_math.h"
#include "support/fakes.h"
#include "world/ball_paddle.h"
#include "world/state_hash.h"

namespace zorblet::testing {

// A frame's picture and the FPS reading it shows: the game shows the rate it measured, a
// replay a fixed one, so the replay's picture is drawn with the game's reading to compare.
struct WatchedPicture {
    std::vector<std::uint32_t> Pixels;
    std::int32_t Fps = 0;
};

struct WatchedGame {
    std::vector<std::uint64_t> GameHashes, DecorationHashes;  // after each of its frames
    std::map<std::size_t, WatchedPicture> Pictures;           // by frame, from 0
    std::map<std::string, std::size_t> Sampled;               // what each sampled picture shows
    std::int32_t ShownScore = 0;                              // after its last frame
};

class GameWatch {
public:
    // After each frame of the loop, with the picture it presented and the records handed
    // over so far.
    void AfterFrame(const frame::Game& game, const render::Canvas& canvas, std::size_t recordsHandedOver) {
        const record::Recorder& recorder = game.Machine.Recorder;
        const bool ended = recordsHandedOver > handedOver_;
        handedOver_ = recordsHandedOver;
        if (recorder.Recording() && recorder.FrameCount() == 1) {
            Games.emplace_back();  // the F2 frame: a game begins
        } else if (!recorder.Recording() && !(ended && current_ != nullptr)) {
            current_ = nullptr;  // the menu: nothing is recorded
            return;
        }
        current_ = &Games.back();
        current_->GameHashes.push_back(world::GameHash(game.Run));
        current_->DecorationHashes.push_back(world::DecorationHash(game.Run.World));
        current_->ShownScore = RoundToInt(game.Run.World.Score);
        canvas_ = &canvas;
        fps_ = game.Screen.Fps;
        SampleTellingFrames(game.Run);
        if (!recorder.Recording()) current_ = nullptr;  // its last frame, a game over or ESC
    }

    // Keeps the picture of the frame just watched under the name given, once a game.
    void Sample(const std::string& what) {
        if (current_ == nullptr || current_->Sampled.contains(what)) return;
        const std::size_t frame = current_->GameHashes.size() - 1;
        current_->Sampled[what] = frame;
        const std::uint32_t* pixels = canvas_->Pixels();
        current_->Pictures[frame] = {{pixels, pixels + render::Canvas::Width * render::Canvas::Height}, fps_};
    }

    std::vector<WatchedGame> Games;

private:
    void SampleTellingFrames(const world::GameState& state) {
        const world::World& w = state.World;
        if (current_->GameHashes.size() == 1) Sample("the first frame");
        if (w.BallTintRed == 200) Sample("after the first contact");  // what a contact sets
        if (w.RingSize == world::RingLiveSize) Sample("in the ring");
        if (w.GatePostRadius == world::GateLiveRadius) Sample("in the gate");
        // The game-over frame shows the table and the menu over the world, which a replay
        // leaves out: the last frame in play is the one before it.
        if (state.Play.Lives == 1 && world::BallBelowFloor(w)) Sample("the last frame in play");
    }

    std::size_t handedOver_ = 0;
    WatchedGame* current_ = nullptr;
    const render::Canvas* canvas_ = nullptr;
    std::int32_t fps_ = 0;
};

// Replays the record and compares every frame's state and the sampled pictures with the
// game as it was played.
inline void ExpectReplayOf(const record::GameRecord& record, const WatchedGame& live) {
    ASSERT_EQ(record.Frames.size(), live.GameHashes.size()) << "one record frame per frame of the game";
    EXPECT_EQ(record.Score, live.ShownScore) << "the points the game showed at its end";
    BoxFontLoader loader;
    const render::Fonts fonts = render::CreateFonts(loader);
    render::Canvas canvas;
    struct : sound::ToneStarter {
        void StartTone(sound::ToneEffect, std::int32_t) override {}
    } tones;
    replay::RecordPlayer player(record);
    for (std::size_t frame = 0; frame < record.Frames.size(); ++frame) {
        player.Step(tones);
        ASSERT_EQ(world::GameHash(player.State()), live.GameHashes[frame]) << "frame " << frame;
        ASSERT_EQ(world::DecorationHash(player.State().World), live.DecorationHashes[frame]) << "frame " << frame;
        const auto picture = live.Pictures.find(frame);
        if (picture == live.Pictures.end()) continue;
        render::DrawReplayFrame(canvas, fonts, player.State(), player.CountdownDigit(), picture->second.Fps);
        std::size_t different = 0;
        for (std::size_t i = 0; i < picture->second.Pixels.size(); ++i) {
            different += canvas.Pixels()[i] != picture->second.Pixels[i];
        }
        EXPECT_EQ(different, 0u) << "pixels differ in frame " << frame;
    }
    EXPECT_EQ(player.ShownScore(), record.Score) << "the replay gives the score the record claims";
}

}  // namespace zorblet::testing
