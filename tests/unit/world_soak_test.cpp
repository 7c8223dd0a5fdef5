// A long run of the world with a fixed seed: what must always hold, whatever happens.
// ZORBLET_SOAK_FRAMES sets the length (scripts/soak runs the long form).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "support/world_frame.h"
#include "world/geometry.h"
#include "world/tick.h"

namespace zorblet::world {
namespace {

long SoakFrames() {
    const char* frames = std::getenv("ZORBLET_SOAK_FRAMES");
    return frames != nullptr ? std::atol(frames) : 200000;
}

bool Finite(float value) {
    return std::isfinite(value);
}

// Everything that must hold at the end of any frame.
::testing::AssertionResult WorldIsSound(const World& w) {
    auto fail = [](const std::string& what) { return ::testing::AssertionFailure() << what; };
    for (float v : {w.BallX, w.BallY, w.BallVX, w.BallVY, w.PaddleAngle, w.TargetSize, w.Score, w.RingSize,
                    w.GatePostRadius, w.GateHalfWidth}) {
        if (!Finite(v)) return fail("a ball, paddle, target, extra or score value is not finite");
    }
    if (w.RingSize > 10.0f || w.GatePostRadius > 5.0f) return fail("an extra grew past its live size");
    if (w.GatePostRadius == 5.0f && (w.GateHalfWidth < 25.9f || w.GateHalfWidth > 75.0f))
        return fail("a live gate outside its widths");
    if (w.PaddleX < 0 || w.PaddleX > 600 || w.PaddleY < 0 || w.PaddleY > 600) return fail("paddle outside the field");
    if (w.BallTintRed < 0 || w.BallTintRed > 200 || w.BallTintGreen < 0 || w.BallTintGreen > 200)
        return fail("tint out of range");
    if (w.AnimAngle < 0 || w.AnimAngle >= 3600) return fail("AnimAngle outside 0..3599");
    if (VectorLength(w.BallVX, w.BallVY) > 50) return fail("the ball runs away");
    for (const auto& s : w.Shots)
        if (!Finite(s.X) || !Finite(s.Y) || !Finite(s.Angle) || !Finite(s.Speed) || s.X < 0 || s.X > 600)
            return fail("a shot");
    for (const auto& p : w.Particles)
        if (!Finite(p.X) || !Finite(p.Y) || !Finite(p.Angle) || !Finite(p.Rot) || !Finite(p.Speed) || p.X < 0 ||
            p.X > 600)
            return fail("a particle");
    for (const auto& p : w.Popups)
        if (!Finite(p.X) || !Finite(p.Y) || !Finite(p.Angle) || !Finite(p.Speed)) return fail("a pop-up");
    for (const auto& r : w.TrailRings)
        if (!Finite(r.Radius) || r.Radius <= 5 || r.Brightness < 0.25f - 1e-4f) return fail("a trail ring");
    if (w.Shots.size() + w.Particles.size() + w.Popups.size() + w.TrailRings.size() > 5000)
        return fail("the lists keep growing");
    return ::testing::AssertionSuccess();
}

TEST(WorldSoak, DemonstrationAndWildPlayStayFiniteAndInBounds) {
    testing::WorldBench bench(20261210);
    bench.ClearEachFrame = false;
    World& w = bench.World;
    StartWorld(w, 20261210);
    std::mt19937 player(99);
    long ballOutside = 0, contacts = 0, crackles = 0, bumpers = 0, gates = 0;
    const auto startNewGame = [&] { bench.PressNewGame(); };
    const long frames = SoakFrames();
    for (long frame = 0; frame < frames; ++frame) {
        // Mostly demonstration; now and then a game with a restless mouse, and pauses.
        const long phase = frame % 50000;
        if (phase == 30000) startNewGame();
        if (phase == 45000) bench.StopPlaying();
        if (frame % 7919 == 0) bench.Pause(!bench.Play.Paused);
        if (world::InGame(bench.Play)) {
            std::uniform_int_distribution<int> delta(-40, 40);
            bench.Mouse.Next = {delta(player), delta(player), player() % 5 == 0};
        }
        const std::size_t tones = bench.Tones.Tones.size();
        const int standing = std::count(w.RingFlags.begin() + 1, w.RingFlags.end(), true);
        const float gate = w.GatePostRadius;
        if (bench.RunFrame().GameOver) startNewGame();
        // The walls hold the ball after every simulated step, drawn right after it.
        if (world::SimulationActive(bench.Play) && (w.Drawn.BallX < 20.0f || w.Drawn.BallX > 580.0f)) ++ballOutside;
        for (std::size_t i = tones; i < bench.Tones.Tones.size(); ++i) {
            contacts += bench.Tones.Tones[i] == testing::EffectStart{sound::ToneEffect::Click, 1500};
            crackles += bench.Tones.Tones[i].Effect == sound::ToneEffect::Crackle;
        }
        if (w.RingSize == 10.0f || w.RingSize == -800.0f) {
            bumpers +=
                std::max(0, standing - static_cast<int>(std::count(w.RingFlags.begin() + 1, w.RingFlags.end(), true)));
        }
        gates += gate == 5.0f && w.GatePostRadius < 0;
        if (bench.Tones.Tones.size() > 100000) bench.Tones.Tones.clear();
        ASSERT_TRUE(WorldIsSound(w)) << "frame " << frame;
    }
    EXPECT_EQ(ballOutside, 0) << "the walls hold the ball after every step";
    EXPECT_GT(contacts, frames / 2000) << "the paddle keeps meeting the ball";
    EXPECT_GT(crackles, bumpers + gates) << "shots hit the target now and then";
    EXPECT_GT(bumpers, 0) << "the ball knocks out bumpers";
    EXPECT_GT(gates, 1) << "gates come and go";
}

}  // namespace
}  // namespace zorblet::world
