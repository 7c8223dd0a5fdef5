// Shots, the yellow target, the trail, bursts and pop-ups.

#include <gtest/gtest.h>

#include <cmath>

#include "render/game_objects.h"
#include "render/world_drawing.h"
#include "support/world_frame.h"
#include "world/geometry.h"
#include "world/objects.h"
#include "world/passes.h"
#include "world/tick.h"

namespace zorblet::world {
namespace {

using sound::ToneEffect;
using testing::WorldBench;

constexpr render::Colour TargetYellow = render::RGB(200, 200, 0);  // at AnimAngle 0

class ShotsTargetEffectsTest : public ::testing::Test {
protected:
    WorldBench bench;
    World& w = bench.World;
    testing::RecordingTones& tones = bench.Tones;

    void Draw() {
        bench.Canvas.ClearScreen(0, 0, 0);
        bench.Canvas.BeginDrawing();
    }
};

TEST_F(ShotsTargetEffectsTest, PlayersShotFiresOnReleaseAndCostsTenPoints) {
    bench.StartPlaying();
    w.BallX = 300, w.BallY = 100, w.BallVY = -Gravity;  // hangs in the air: no distance points
    w.PaddleY = 600;
    bench.Mouse.Next = {0, 0, true};
    for (int i = 0; i < 20; ++i) {
        w.BallVY = -Gravity;
        StepBallAndPaddle(w, bench.Input(), tones);
    }
    ASSERT_EQ(w.Score, 0.0f);
    EXPECT_TRUE(w.Shots.empty()) << "holding the button fires nothing";
    EXPECT_TRUE(w.FireLatch);
    bench.Mouse.Next.LeftButton = false;
    w.BallVY = -Gravity;
    StepBallAndPaddle(w, bench.Input(), tones);
    ASSERT_EQ(w.Shots.size(), 1u);
    EXPECT_EQ(w.Score, -10.0f) << "the score may go below zero";
    EXPECT_EQ(tones.CountTones(ToneEffect::Click, 670), 1);
    EXPECT_EQ(w.Shots[0].X, 300.0f);
    EXPECT_EQ(w.Shots[0].Y, 580.0f) << "from the paddle's tip towards the ball";
    EXPECT_FLOAT_EQ(w.Shots[0].Angle, -90.0f);
    EXPECT_EQ(w.Shots[0].Speed, 4.0f);
    w.BallVY = -Gravity;
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_EQ(w.Shots.size(), 1u) << "one press, one shot";
}

TEST_F(ShotsTargetEffectsTest, DemonstrationFiresOnOneInOneHundredAndOneWithoutPoints) {
    int fired = 0;
    for (int i = 0; i < 1000; ++i) {
        RandomStream game = w.GameRandom;
        const bool fires = game.UpTo(100) == 1;  // drawn from the game's numbers
        const std::size_t before = w.Shots.size();
        w.BallY = 100, w.BallVY = 0;
        StepBallAndPaddle(w, bench.Input(), tones);
        EXPECT_EQ(w.Shots.size(), before + (fires ? 1 : 0)) << i;
        fired += fires;
    }
    EXPECT_GT(fired, 2);
    EXPECT_LT(fired, 25);
    EXPECT_EQ(w.Score, 0.0f);
}

TEST_F(ShotsTargetEffectsTest, ShotFiredStraightUpRisesAbout265PixelsInAbout134Frames) {
    AddShot(w, 300, 480, -90.0f, 4.0f);
    int frames = 0;
    float highest = 480;
    while (!w.Shots.empty() && SinDeg(w.Shots[0].Angle) < 0 && frames < 1000) {
        UpdateShots(w, bench.Input(), tones);
        highest = std::min(highest, w.Shots[0].Y);
        ++frames;
    }
    EXPECT_NEAR(480 - highest, 265.0f, 1.0f);
    EXPECT_NEAR(frames, 134, 1);
    EXPECT_NEAR(w.Shots[0].X, 300.0f, 0.01f) << "straight up, straight down";
}

TEST_F(ShotsTargetEffectsTest, ShotsAndParticlesBounceOffTheSideWallsAtTheirSpeed) {
    AddShot(w, 2, 300, 180.0f + 30.0f, 4.0f);  // left and up
    AddParticle(w, 0, 599, 300, 0.0f, 0.0f, 3.0f, 0.0f);
    UpdateShots(w, bench.Input(), tones);
    UpdateParticles(w, bench.Input());
    const Shot& shot = w.Shots[0];
    EXPECT_EQ(shot.X, 0.0f);
    EXPECT_GT(CosDeg(shot.Angle), 0.0f) << "moving right now";
    EXPECT_NEAR(shot.Speed, VectorLength(4 * CosDeg(210), 4 * SinDeg(210) + Gravity), 1e-5);
    EXPECT_EQ(w.Particles[0].X, 600.0f);
    EXPECT_LT(CosDeg(w.Particles[0].Angle), 0.0f);
}

TEST_F(ShotsTargetEffectsTest, OnlyTheOlderOfTwoShotsInTheFullTargetScores) {
    bench.StartPlaying();
    w.TargetX = 200, w.TargetY = 200, w.TargetSize = 10;
    AddShot(w, 200, 205, -90, 0.0f);
    AddShot(w, 203, 200, -90, 0.0f);
    RandomStream game = w.GameRandom, decoration = w.DecorationRandom;
    const std::int32_t firstSpeed = decoration.UpTo(10), firstSpin = decoration.UpTo(10);
    for (int i = 2; i < 144; ++i) decoration.UpTo(10);  // the rest of the burst
    const std::int32_t popupTurn = decoration.UpTo(40);
    const std::int32_t newX = 30 + game.UpTo(540), newY = 30 + game.UpTo(340);
    UpdateShots(w, bench.Input(), tones);
    EXPECT_EQ(w.Score, 250.0f);
    ASSERT_EQ(w.Shots.size(), 1u) << "the hit shot is gone at once";
    EXPECT_NEAR(w.Shots[0].X, 203.0f, 0.01f) << "the younger one flies on";
    EXPECT_EQ(w.TargetSize, -40.0f);
    EXPECT_EQ(w.TargetX, newX) << "the game's numbers place it";
    EXPECT_EQ(w.TargetY, newY);
    EXPECT_EQ(w.GameRandom.Draws(), game.Draws()) << "and only that: the burst and pop-up are decoration";
    ASSERT_EQ(w.Particles.size(), 72u);
    EXPECT_EQ(w.Particles[0].X, 210.0f) << "on the target's ring";
    EXPECT_EQ(w.Particles[0].Speed, 1.0f + static_cast<float>(firstSpeed) / 20.0f);
    EXPECT_EQ(w.Particles[0].Spin, static_cast<float>(firstSpin - 5));
    ASSERT_EQ(w.Popups.size(), 1u);
    EXPECT_EQ(w.Popups[0].Text, "250");
    EXPECT_EQ(w.Popups[0].Angle, static_cast<float>(250 + popupTurn));
    EXPECT_EQ(w.Popups[0].HalfWidth, 16) << "three digits of 11 pixels, halved";
    EXPECT_EQ(tones.CountTones(ToneEffect::Crackle, 1), 1);
}

TEST_F(ShotsTargetEffectsTest, TargetIsHitOnlyAtFullSizeAndPaysNothingInTheDemonstration) {
    struct Case {
        const char* Name;
        std::int32_t Lives;
        float TargetSize;
        float ShotX;
        bool Hit;
    } const cases[] = {
        {"growing, at 9.8", 3, 9.8f, 200, false},
        {"full, at distance 9", 3, 10, 209, true},
        {"full, at distance 10", 3, 10, 210, false},
        {"in the demonstration", 0, 10, 200, true},
    };
    for (const auto& c : cases) {
        WorldBench b;
        if (c.Lives > 0) b.StartCountdown();
        b.World.TargetX = 200, b.World.TargetY = 200, b.World.TargetSize = c.TargetSize;
        AddShot(b.World, static_cast<std::int32_t>(c.ShotX), 200 + 1, -90, 0.0f);  // gravity pulls it back to 200
        b.World.Shots[0].Y = 200 - Gravity;
        UpdateShots(b.World, b.Input(), b.Tones);
        EXPECT_EQ(b.World.Popups.size(), c.Hit ? 1u : 0u) << c.Name;
        EXPECT_EQ(b.World.Score, c.Hit && c.Lives > 0 ? 250.0f : 0.0f) << c.Name;
        EXPECT_EQ(b.World.Shots.size(), c.Hit ? 0u : 1u) << c.Name;
    }
}

// The target counts its growth in steps of 0.2 from wherever it was set.
TEST_F(ShotsTargetEffectsTest, TargetIsDrawnAndHittableAfterItsGrowthSteps) {
    struct Case {
        const char* Name;
        float Start;
        int FirstDrawn, FirstFull;
    } const cases[] = {{"after a hit", -40.0f, 205, 250}, {"after a new game", 0.0f, 5, 51}};
    for (const auto& c : cases) {
        WorldBench b;
        b.World.TargetX = 300, b.World.TargetY = 300, b.World.TargetSize = c.Start;
        int firstDrawn = 0, firstFull = 0;
        for (int step = 1; step <= 300 && firstFull == 0; ++step) {
            b.Canvas.ClearScreen(0, 0, 0);
            UpdateTarget(b.World, b.Input());
            render::DrawYellowTarget(b.World, b.Canvas);
            if (firstDrawn == 0 && b.PixelsOf(TargetYellow) > 0) firstDrawn = step;
            if (b.World.TargetSize == 10.0f) firstFull = step;
        }
        EXPECT_EQ(firstDrawn, c.FirstDrawn) << c.Name;
        EXPECT_EQ(firstFull, c.FirstFull) << c.Name;
    }
}

TEST_F(ShotsTargetEffectsTest, TargetGrowsOnlyWhileTheWorldMoves) {
    w.TargetSize = 5;
    bench.StartCountdown();
    UpdateTarget(w, bench.Input());
    bench.StopPlaying(), bench.Pause(true);
    UpdateTarget(w, bench.Input());
    EXPECT_EQ(w.TargetSize, 5.0f);
    bench.Pause(false);
    UpdateTarget(w, bench.Input());
    EXPECT_FLOAT_EQ(w.TargetSize, 5.2f);
}

TEST_F(ShotsTargetEffectsTest, TrailRingLivesSeventyFiveUnpausedFramesAndIsDrawnInEach) {
    SpawnTrailRing(w);
    SpawnTrailRing(w);
    ASSERT_EQ(w.TrailRings.size(), 1u) << "a ring on every second step";
    for (int frame = 1; frame <= 75; ++frame) {
        Draw();
        UpdateTrailRings(w, bench.Input());
        render::DrawTrailRings(w, bench.Canvas);
        const int r = frame == 75 ? 5 : Rounded(20.0f - 0.2f * static_cast<float>(frame));
        EXPECT_NE(bench.Canvas.PixelAt(300 + r - 1, 100), 0) << "drawn in frame " << frame;
        if (frame == 30) {
            bench.Pause(true);
            UpdateTrailRings(w, bench.Input());
            UpdateTrailRings(w, bench.Input());
            bench.Pause(false);
        }
        if (frame < 75) {
            ASSERT_EQ(w.TrailRings.size(), 1u) << "frame " << frame;
        }
    }
    EXPECT_TRUE(w.TrailRings.empty()) << "removed at the end of its 75th frame";
}

TEST_F(ShotsTargetEffectsTest, PopupBouncesOffTheWallsAtHalfItsWidth) {
    auto& font = bench.Fonts.FontBold14;
    const float h = static_cast<float>(font.TextWidth("1000") / 2);
    AddPopup(w, "1000", 20, 300, 180.0f, 2.0f, static_cast<std::int32_t>(h));
    AddPopup(w, "1000", 590, 300, 0.0f, 2.0f, static_cast<std::int32_t>(h));
    UpdatePopups(w, bench.Input());
    EXPECT_EQ(w.Popups[0].X, h);
    EXPECT_GT(CosDeg(w.Popups[0].Angle), 0.0f);
    EXPECT_EQ(w.Popups[1].X, 600.0f - h);
    EXPECT_LT(CosDeg(w.Popups[1].Angle), 0.0f);
}

TEST_F(ShotsTargetEffectsTest, PopupRisesAbout60PixelsInAbout65FramesThenFallsAway) {
    for (std::int32_t r : {0, 20, 40}) {
        WorldBench b;
        AddPopup(b.World, "300", 300, 300, static_cast<float>(250 + r), 2.0f, PopupHalfWidth("300"));
        int frames = 0;
        float top = 300;
        while (SinDeg(b.World.Popups[0].Angle) < 0) {  // still rising
            UpdatePopups(b.World, b.Input());
            top = std::min(top, b.World.Popups[0].Y);
            ++frames;
        }
        EXPECT_GE(300 - top, 57.5f) << r;
        EXPECT_LE(300 - top, 66.0f) << r;
        EXPECT_GE(frames, 63) << r;
        EXPECT_LE(frames, 68) << r;
        while (!b.World.Popups.empty() && frames < 2000) {
            UpdatePopups(b.World, b.Input());
            ++frames;
        }
        EXPECT_TRUE(b.World.Popups.empty()) << "gone below the floor line";
    }
}

TEST_F(ShotsTargetEffectsTest, ContactBurstStopsAt200ParticlesButTheTargetBurstDoesNot) {
    for (int i = 0; i < 199; ++i) AddParticle(w, 0, 300, 300, 0, 0, 0, 0);
    SpawnBurstRing(w);
    EXPECT_EQ(w.Particles.size(), 217u);
    w.Particles.resize(200);
    w.BallX = 300, w.BallY = 470;
    UpdatePaddleAngle(w);
    PaddleContact(w, bench.Input(), tones);
    EXPECT_EQ(w.Particles.size(), 200u) << "no burst";
    EXPECT_EQ(tones.CountTones(ToneEffect::Click, 1500), 1) << "but the rest of the contact";
    EXPECT_EQ(w.BallTintRed, 200);
    Shot shot{};
    HitTarget(w, bench.Input(), tones, shot);
    EXPECT_EQ(w.Particles.size(), 272u);
}

TEST_F(ShotsTargetEffectsTest, ContactBurstLiesAlongTheRimInTheBallsColour) {
    w.BallX = 300, w.BallY = 300;
    w.BallTintRed = 10, w.BallTintGreen = 190;
    RandomStream decoration = w.DecorationRandom;
    SpawnBurstRing(w);
    ASSERT_EQ(w.Particles.size(), 18u);
    const Particle& first = w.Particles[0];
    EXPECT_EQ(first.Colour, render::RGB(60, 240, 50));
    EXPECT_EQ(first.X, 319.0f);
    EXPECT_EQ(first.Y, 307.0f);
    EXPECT_EQ(first.Angle, 20.0f);
    EXPECT_EQ(first.Rot, 110.0f);
    EXPECT_EQ(first.Speed, 0.5f);
    for (const Particle& p : w.Particles) {
        EXPECT_EQ(p.Spin, static_cast<float>(decoration.UpTo(2) - 1) / 2.0f) << "-0.5, 0 or 0.5, from the decoration";
    }
}

TEST_F(ShotsTargetEffectsTest, ListPassVisitsEveryElementOnceWhenItsNeighbourExpires) {
    AddShot(w, 100, 619, 90, 4.0f);  // falls through the floor this pass
    AddShot(w, 200, 300, 0, 0.0f);
    AddShot(w, 300, 619, 90, 4.0f);
    AddShot(w, 400, 300, 0, 0.0f);
    UpdateShots(w, bench.Input(), tones);
    ASSERT_EQ(w.Shots.size(), 2u);
    EXPECT_EQ(w.Shots[0].X, 200.0f);
    EXPECT_FLOAT_EQ(w.Shots[0].Y, 300.0f + Gravity) << "moved once";
    EXPECT_FLOAT_EQ(w.Shots[1].Y, 300.0f + Gravity);
}

TEST_F(ShotsTargetEffectsTest, BurstsJoinTheirPassesInFrameOrder) {
    // A target hit (before the particle pass) moves its burst in the same frame; a paddle
    // contact (after it) from the next frame on.
    w.TargetX = 100, w.TargetY = 100, w.TargetSize = 10;
    AddShot(w, 100, 100, 0, 0.0f);
    w.BallX = 300, w.BallY = 470, w.PaddleX = 300, w.PaddleY = 500;
    bench.StartCountdown();  // the ball hangs, the passes go on
    TickWorld(w, bench.Input(), tones);
    ASSERT_EQ(w.Particles.size(), 72u + 18u);
    EXPECT_NE(w.Particles[0].Y, 100.0f + Rounded(10.0f * SinDeg(5))) << "the target burst moved already";
    EXPECT_EQ(w.Particles[72].X, static_cast<float>(Rounded(w.Particles[72].X))) << "the contact burst did not";
    EXPECT_EQ(w.Popups.size(), 1u);
    EXPECT_NE(w.Popups[0].Y, 100.0f) << "the pop-up moved in the frame of its hit";
}

}  // namespace
}  // namespace zorblet::world
