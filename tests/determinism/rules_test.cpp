// The pieces the replays rest on: the random numbers' mapping, a new game given by its
// seed alone, and hashes that see every field that decides how the game goes on.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "world/rules.h"
#include "world/state_hash.h"

namespace zorblet::world {
namespace {

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

// The game's mapping gives the numbers libstdc++'s uniform_int_distribution gave on the
// same engine, for the game's ranges and for ranges where a draw is often rejected, and
// leaves the engine where the distribution left it.
TEST(RandomStream, GivesTodaysNumbersOfTheStandardLibrary) {
#ifndef __GLIBCXX__
    GTEST_SKIP() << "the numbers to compare with are libstdc++'s";
#else
    const std::int32_t ranges[] = {1, 2, 10, 40, 100, 200, 340, 400, 540, 1000, 65536, 1 << 30, (1 << 30) + 1,
                                   2147483646, 2147483647};
    for (std::uint32_t seed : {0u, 1u, 20261210u, 4294967295u}) {
        RandomStream stream(seed);
        std::mt19937 engine(seed);
        for (int round = 0; round < 20000; ++round) {
            for (std::int32_t n : ranges) {
                ASSERT_EQ(stream.UpTo(n), std::uniform_int_distribution<std::int32_t>(0, n)(engine))
                    << "seed " << seed << ", n " << n << ", round " << round;
            }
        }
        std::mt19937 check(seed);
        check.discard(stream.Draws());
        EXPECT_EQ(check(), engine()) << "the engine drawn as often as the distribution drew it";
    }
#endif
}

TEST(RandomStream, NothingToChooseDrawsNothing) {
    RandomStream stream(5);
    EXPECT_EQ(stream.UpTo(0), 0);
    EXPECT_EQ(stream.UpTo(-3), 0);
    EXPECT_EQ(stream.Draws(), 0u);
    RandomStream same(5);
    EXPECT_EQ(stream.UpTo(100), same.UpTo(100));
}

// Two programs in very different states start a game on the same seed: from then on they
// are the same, frame for frame.
TEST(NewGame, StartsFromAStateGivenByItsSeedAlone) {
    NoTones tones;
    GameState fresh;
    GameState worn;
    StartDemonstration(worn, 99);
    for (int i = 0; i < 5000; ++i) StepGame(worn, {}, 0, tones);  // the demonstration with its bursts and shots
    StepGame(worn, {.Mouse = {}, .F2Released = true}, 1234, tones);  // a game, abandoned
    for (int i = 0; i < 400; ++i) StepGame(worn, {}, 0, tones);
    ASSERT_FALSE(worn.World.Particles.empty() && worn.World.TrailRings.empty());
    const FrameInput start{.Mouse = {}, .F2Released = true};
    const FrameEvents freshEvents = StepGame(fresh, start, 777, tones);
    const FrameEvents wornEvents = StepGame(worn, start, 777, tones);
    EXPECT_TRUE(freshEvents.GameStarted && wornEvents.GameStarted);
    for (int frame = 0; frame < 3000; ++frame) {
        ASSERT_EQ(GameHash(worn), GameHash(fresh)) << "frame " << frame;
        ASSERT_EQ(DecorationHash(worn.World), DecorationHash(fresh.World)) << "frame " << frame;
        const FrameInput input{.Mouse = {frame % 7 - 3, frame % 5 - 2, frame % 90 < 3}};
        StepGame(fresh, input, 0, tones);
        StepGame(worn, input, 0, tones);
    }
}

TEST(StateHash, SeesEveryFieldThatDecidesTheGameAndKeepsDecorationApart) {
    GameState base;
    StartDemonstration(base, 3);
    base.World.Shots.push_back({100, 200, 30, 4});
    base.World.Particles.push_back({1, 2, 3, 4, 5, 6, 7});
    base.World.Popups.push_back({"250", 1, 2, 3, 4, 16});
    base.World.TrailRings.push_back({1, 2, 20, 1, 0});
    struct Case {
        std::string Name;
        std::function<void(GameState&)> Change;
        bool Game;  // seen by the game's hash; else by the decoration's only
    };
    const Case cases[] = {
        {"lives", [](GameState& s) { s.Play.Lives = 2; }, true},
        {"countdown", [](GameState& s) { s.Play.Countdown = 600; }, true},
        {"pause", [](GameState& s) { s.Play.Paused = true; }, true},
        {"phase", [](GameState& s) { s.Play.Now = Phase::Playing; }, true},
        {"score", [](GameState& s) { s.World.Score = 0.5f; }, true},
        {"ball", [](GameState& s) { s.World.BallVX = 1e-7f; }, true},
        {"paddle", [](GameState& s) { s.World.PaddleY += 1; }, true},
        {"paddle angle", [](GameState& s) { s.World.PaddleAngle = 1; }, true},
        {"target", [](GameState& s) { s.World.TargetSize = 0.2f; }, true},
        {"shot", [](GameState& s) { s.World.Shots[0].Speed = 4.5f; }, true},
        {"fire latch", [](GameState& s) { s.World.FireLatch = true; }, true},
        {"mouse", [](GameState& s) { s.World.MouseDeltaX = 1; }, true},
        {"anim angle", [](GameState& s) { s.World.AnimAngle = 2; }, true},
        {"ring", [](GameState& s) { s.World.RingFlags[4] = true; }, true},
        {"gate", [](GameState& s) { s.World.GateHalfWidth = 74.98f; }, true},
        {"game numbers", [](GameState& s) { s.World.GameRandom.UpTo(1); }, true},
        {"particle", [](GameState& s) { s.World.Particles[0].Rot = 5.5f; }, false},
        {"pop-up", [](GameState& s) { s.World.Popups[0].Text = "300"; }, false},
        {"trail", [](GameState& s) { s.World.TrailRings[0].Brightness = 0.99f; }, false},
        {"tint", [](GameState& s) { s.World.BallTintGreen = 199; }, false},
        {"drawn as of", [](GameState& s) { s.World.Drawn.Particles = 1; }, false},
        {"decoration numbers", [](GameState& s) { s.World.DecorationRandom.UpTo(1); }, false},
    };
    for (const Case& c : cases) {
        GameState changed = base;
        c.Change(changed);
        EXPECT_EQ(GameHash(changed) != GameHash(base), c.Game) << c.Name;
        EXPECT_EQ(DecorationHash(changed.World) != DecorationHash(base.World), !c.Game) << c.Name;
    }
}

}  // namespace
}  // namespace zorblet::world
