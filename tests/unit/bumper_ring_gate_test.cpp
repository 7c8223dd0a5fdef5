// The bumper ring and the gate: timers, bounces, fly-through, collapse, drawing.

#include "world/bumper_ring_gate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "render/world_drawing.h"
#include "support/world_frame.h"
#include "world/geometry.h"

namespace zorblet::world {
namespace {

using sound::ToneEffect;
using testing::WorldBench;

constexpr render::Colour PostColour = render::RGB(50, 100, 200);

// A world with the ball parked where nothing touches it.
void MakeQuiet(WorldBench& b) {
    StartExtras(b.World);
    b.World.BallX = 30, b.World.BallY = 590;
}

// The extras' step of a frame, then the frame's picture.
void StepExtrasAndDraw(WorldBench& b) {
    StepExtras(b.World, b.Input(), b.Tones);
    render::DrawWorld(b.World, b.Canvas, b.Fonts);
}

// Steps the extras alone until the predicate holds; the number of frames taken, or -1.
// The canvas is never cleared: only the timers count here, and clearing thousands of
// frames would cost most of the time.
template <typename Done>
int FramesUntil(WorldBench& b, Done done, int limit = 20000) {
    for (int frame = 1; frame <= limit; ++frame) {
        StepExtras(b.World, b.Input(), b.Tones);
        if (done(b.World)) return frame;
    }
    return -1;
}

bool GateLive(const World& w) {
    return w.GatePostRadius == GateLiveRadius;
}
bool RingLive(const World& w) {
    return w.RingSize == RingLiveSize;
}

TEST(BumperRingGate, TimersFromStartAndFromEachEnding) {
    struct Case {
        const char* Name;
        float RingSize, GatePostRadius;
        bool (*Live)(const World&);
        int Frames;  // allowed frames until live, within a few
    } const cases[] = {
        {"first gate, about 34 s", -800, -400, GateLive, 4050},
        {"first ring, about 67.5 s", -800, -400, RingLive, 8100},
        {"gate after a fly-through", -800, -500, GateLive, 5050},
        {"gate after a collapse", -800, -450, GateLive, 4550},
        {"ring after its sixth bumper", -800, -400, RingLive, 8100},
    };
    for (const auto& c : cases) {
        WorldBench b;
        MakeQuiet(b);
        b.World.RingSize = c.RingSize, b.World.GatePostRadius = c.GatePostRadius;
        const int frames = FramesUntil(b, c.Live);
        EXPECT_NEAR(frames, c.Frames, 10) << c.Name;
        EXPECT_TRUE(c.Live(b.World)) << c.Name << ": the live value is reached exactly";
    }
}

TEST(BumperRingGate, RespawnDrawsNewPlacesForAboutTenFramesAndTheLastStands) {
    WorldBench b;
    MakeQuiet(b);
    b.World.RingSize = -301.0f;
    b.World.GatePostRadius = -301.0f;
    int ringDraws = 0;
    int x = b.World.RingX;
    for (int frame = 0; frame < 30; ++frame) {
        StepExtras(b.World, b.Input(), b.Tones);
        if (b.World.RingX != x) ++ringDraws, x = b.World.RingX;
    }
    EXPECT_GE(ringDraws, 7) << "new centres on consecutive frames";
    EXPECT_GE(b.World.RingX, 100);
    EXPECT_LE(b.World.RingX, 500);
    EXPECT_GE(b.World.RingY, 200);
    EXPECT_LE(b.World.RingY, 400);
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(b.World.RingFlags[i]);
    EXPECT_GE(b.World.GateY, 150);
    EXPECT_LE(b.World.GateY, 350);
    EXPECT_EQ(b.World.GateHalfWidth, 75.0f);
}

TEST(BumperRingGate, PauseStopsTheCountersButALiveGateNarrowsAndCollapses) {
    WorldBench b;
    MakeQuiet(b);
    b.Pause(true);
    b.World.RingSize = -500.0f;
    b.World.GatePostRadius = -200.0f;
    FramesUntil(
        b, [](const World&) { return false; }, 100);
    EXPECT_EQ(b.World.RingSize, -500.0f);
    EXPECT_EQ(b.World.GatePostRadius, -200.0f);

    b.World.GatePostRadius = GateLiveRadius;
    b.World.GateHalfWidth = 26.01f;
    StepExtras(b.World, b.Input(), b.Tones);
    EXPECT_EQ(b.World.GatePostRadius, -450.0f) << "collapsed while paused";
    EXPECT_EQ(b.Tones.CountTones(ToneEffect::Crackle, 1), 1);
    // 18 at each post and n - 1 along the beam, n = rounded(half width / 2)
    const std::size_t beam = static_cast<std::size_t>(Rounded(b.World.GateHalfWidth / 2.0f) - 1);
    EXPECT_EQ(b.World.Particles.size(), 36u + beam);
    EXPECT_EQ(b.World.Score, 0.0f);
}

TEST(BumperRingGate, LiveGateCollapsesAbout2450FramesAfterItBecameLive) {
    WorldBench b;
    MakeQuiet(b);
    b.World.GatePostRadius = GateLiveRadius;
    b.World.GateX = 300, b.World.GateY = 200;
    const int frames = FramesUntil(b, [](const World& w) { return w.GatePostRadius < 0; });
    EXPECT_NEAR(frames, 2450, 3);
    EXPECT_EQ(b.World.GatePostRadius, -450.0f);
}

// Within 20 of a post the ball also touches it and is pushed out to 30 first, so the
// margins show only together with a bounce (next test); the band's height is strict.
TEST(BumperRingGate, FlyThroughBandIsStrict) {
    struct Case {
        const char* Name;
        float BallX, BallY;
        bool Scores;
    } const cases[] = {
        {"centre of the beam", 300, 300, true},
        {"just inside the lower bound", 300, 304.9f, true},
        {"on the lower bound", 300, 305, false},
        {"on the upper bound", 300, 295, false},
        {"well inside, near the right post", 350, 302, true},
        {"outside the left post", 195, 300, false},
        {"outside the right post", 405, 300, false},
    };
    for (const auto& c : cases) {
        WorldBench b;
        MakeQuiet(b);
        b.StartCountdown();
        b.World.GatePostRadius = GateLiveRadius;
        b.World.GateHalfWidth = 75.02f;
        b.World.BallX = c.BallX, b.World.BallY = c.BallY;
        StepExtras(b.World, b.Input(), b.Tones);
        EXPECT_EQ(b.World.Score, c.Scores ? 1000.0f : 0.0f) << c.Name;
        EXPECT_EQ(b.World.GatePostRadius, c.Scores ? -500.0f : GateLiveRadius) << c.Name;
        if (c.Scores) {
            ASSERT_EQ(b.World.Popups.size(), 1u) << c.Name;
            EXPECT_EQ(b.World.Popups[0].Text, "1000");
            EXPECT_EQ(b.Tones.CountTones(ToneEffect::Crackle, 1), 1) << c.Name;
        }
    }
}

TEST(BumperRingGate, FastBallStepsOverTheBandWhileABallBouncedInwardOffAPostScores) {
    WorldBench fast;
    MakeQuiet(fast);
    fast.StartPlaying();
    fast.World.GatePostRadius = GateLiveRadius;
    fast.World.GateHalfWidth = 75;
    fast.World.BallX = 300, fast.World.BallY = 294, fast.World.BallVY = 11;
    fast.RunFrame();
    EXPECT_GT(fast.World.BallY, 305.0f) << "from above the band to below it in one step";
    EXPECT_EQ(fast.World.GatePostRadius, GateLiveRadius) << "no fly-through";

    WorldBench post;
    MakeQuiet(post);
    post.StartCountdown();
    post.World.GatePostRadius = GateLiveRadius;
    post.World.GateHalfWidth = 75.02f;  // left post at 225
    post.World.BallX = 249, post.World.BallY = 302, post.World.BallVX = -2;
    StepExtras(post.World, post.Input(), post.Tones);
    EXPECT_EQ(post.Tones.CountTones(ToneEffect::Click, 1100), 1) << "touched the left post";
    EXPECT_NEAR(std::hypot(post.World.BallX - 225, post.World.BallY - 300), 30.0f, 1e-3);
    EXPECT_GT(post.World.BallVX, 0.0f) << "bounced inward";
    EXPECT_EQ(post.World.Score, 1000.0f) << "and landed in the band";
}

TEST(BumperRingGate, BumperKnockedOutPaysOnceAndItsNeighbourWaitsForTheNextFrame) {
    WorldBench b;
    MakeQuiet(b);
    b.StartCountdown();
    b.World.RingSize = RingLiveSize;
    b.World.RingX = 300, b.World.RingY = 300;
    std::fill(b.World.RingFlags.begin() + 1, b.World.RingFlags.end(), true);
    // Bumper 6 stands at (320, 300), bumper 1 at (310, 317): the ball touches both.
    b.World.BallX = 335, b.World.BallY = 312, b.World.BallVX = -1, b.World.BallVY = -1;
    StepExtras(b.World, b.Input(), b.Tones);
    EXPECT_FALSE(b.World.RingFlags[1]) << "the first in order is hit";
    EXPECT_TRUE(b.World.RingFlags[6]) << "the next only in a later frame";
    EXPECT_EQ(b.World.Score, 300.0f);
    EXPECT_NEAR(std::hypot(b.World.BallX - 310, b.World.BallY - 317), 30.0f, 1e-3) << "pushed out to 30";
    EXPECT_EQ(b.World.Particles.size(), 36u);
    EXPECT_EQ(b.World.Popups.size(), 1u);
    EXPECT_EQ(b.World.Popups[0].Text, "300");
    StepExtras(b.World, b.Input(), b.Tones);
    EXPECT_FALSE(b.World.RingFlags[6]) << "its neighbour in the next frame";
    EXPECT_EQ(b.World.Score, 600.0f);
}

TEST(BumperRingGate, SixthBumperSendsTheRingBackToWaiting) {
    WorldBench b;
    MakeQuiet(b);
    b.StartCountdown();
    b.World.RingSize = RingLiveSize;
    b.World.RingX = 300, b.World.RingY = 300;
    b.World.RingFlags[3] = true;  // the last one standing, at (280, 300)
    b.World.BallX = 280, b.World.BallY = 325;
    StepExtras(b.World, b.Input(), b.Tones);
    EXPECT_EQ(b.World.RingSize, -800.0f);
    EXPECT_EQ(b.World.Score, 300.0f);
}

TEST(BumperRingGate, DemonstrationShowsEverythingButScoresNothing) {
    WorldBench b;
    MakeQuiet(b);
    b.World.RingSize = RingLiveSize;
    b.World.RingX = 300, b.World.RingY = 300;
    b.World.RingFlags[6] = true;
    b.World.BallX = 345, b.World.BallY = 300;  // 25 from bumper 6
    b.World.GatePostRadius = GateLiveRadius;
    b.World.GateX = 300, b.World.GateY = 100, b.World.GateHalfWidth = 75;
    StepExtras(b.World, b.Input(), b.Tones);
    b.World.BallX = 300, b.World.BallY = 100;
    StepExtras(b.World, b.Input(), b.Tones);
    ASSERT_EQ(b.World.Popups.size(), 2u);
    EXPECT_EQ(b.World.Popups[0].Text, "300");
    EXPECT_EQ(b.World.Popups[1].Text, "1000");
    EXPECT_EQ(b.World.Score, 0.0f);
    EXPECT_EQ(b.Tones.CountTones(ToneEffect::Crackle, 1), 2);
}

TEST(BumperRingGate, FixedCircleBounceNeverLeavesTheBallOnTheCentre) {
    World w;
    w.BallX = 100, w.BallY = 100, w.BallVX = 3, w.BallVY = 4;
    BounceOffFixedCircle(w, 100, 100);
    EXPECT_TRUE(std::isfinite(w.BallVX) && std::isfinite(w.BallVY));
    EXPECT_NEAR(std::hypot(w.BallX - 100, w.BallY - 100), 30.0f, 1e-3);
    w.BallX = 120, w.BallY = 100, w.BallVX = -20, w.BallVY = 0;
    BounceOffFixedCircle(w, 100, 100);
    EXPECT_NEAR(w.BallVX, 10.0f, 1e-4) << "reflected and capped at 10";
}

TEST(BumperRingGate, LiveGateAndRingAsDrawn) {
    WorldBench b;
    MakeQuiet(b);
    b.World.GatePostRadius = GateLiveRadius;
    b.World.GateX = 300, b.World.GateY = 200, b.World.GateHalfWidth = 75.02f;  // posts at 225 and 375
    b.World.RingSize = RingLiveSize;
    b.World.RingX = 300, b.World.RingY = 450;
    b.World.RingFlags[6] = true;  // at (320, 450)
    b.World.AnimAngle = 0;     // pulse 0
    b.Canvas.ClearScreen(0, 0, 0);
    StepExtrasAndDraw(b);
    const render::Colour beam = render::RGB(50, 100, 200);
    EXPECT_EQ(b.Canvas.PixelAt(229, 200), beam) << "the beam starts 4 right of the left post";
    EXPECT_EQ(b.Canvas.PixelAt(370, 200), beam) << "and ends 5 short of the right one";
    EXPECT_EQ(b.Canvas.PixelAt(220, 200), PostColour) << "left post, radius 5";
    EXPECT_EQ(b.Canvas.PixelAt(221, 200), PostColour) << "and radius 4";
    EXPECT_EQ(b.Canvas.PixelAt(379, 200), PostColour);
    const render::Colour bumper = render::RGB(150, 25, 25);
    EXPECT_EQ(b.Canvas.PixelAt(310, 450), bumper) << "bumper outline, radius 10";
    EXPECT_EQ(b.Canvas.PixelAt(311, 450), bumper) << "and 9";
    EXPECT_EQ(b.Canvas.PixelAt(320, 450), 0) << "hollow";

    b.World.AnimAngle = 45;  // sin 90: the darkest pulse
    b.Canvas.ClearScreen(0, 0, 0);
    StepExtrasAndDraw(b);
    EXPECT_EQ(b.Canvas.PixelAt(310, 450), render::RGB(125, 0, 0));
    EXPECT_EQ(b.Canvas.PixelAt(260, 200), render::RGB(0, 50, 150));
}

TEST(BumperRingGate, GrowingGateSlidesItsPostsOutFromTheCentre) {
    WorldBench b;
    MakeQuiet(b);
    b.World.GatePostRadius = 2.0f;
    b.World.GateX = 300, b.World.GateY = 200;
    b.Canvas.ClearScreen(0, 0, 0);
    StepExtrasAndDraw(b);  // grows to 2.1: posts at 300 -/+ 32
    int left = 0, right = 0, between = 0;
    for (int y = 190; y < 210; ++y) {
        for (int x = 250; x < 350; ++x) {
            if (b.Canvas.PixelAt(x, y) != PostColour) continue;
            if (x >= 264 && x < 272)
                ++left;
            else if (x >= 328 && x < 336)
                ++right;
            else
                ++between;
        }
    }
    EXPECT_GT(left, 0) << "a small post 32 left of the centre";
    EXPECT_GT(right, 0) << "and one 32 right";
    EXPECT_EQ(between, 0) << "no beam yet";
    EXPECT_EQ(b.Tones.Tones.size(), 0u);
}

}  // namespace
}  // namespace zorblet::world
