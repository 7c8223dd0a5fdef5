// The ball and the paddle: falling, walls, ceiling, lost balls, contact, countdown, pause.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/game_objects.h"
#include "render/menu.h"
#include "support/world_frame.h"
#include "world/ball_paddle.h"
#include "world/geometry.h"
#include "world/passes.h"

namespace zorblet::world {
namespace {

using sound::ToneEffect;
using testing::EffectStart;
using testing::WorldBench;

class BallPaddleTest : public ::testing::Test {
protected:
    WorldBench bench;
    World& w = bench.World;
    testing::RecordingTones& tones = bench.Tones;
};

TEST_F(BallPaddleTest, BallFallingFromRestBouncesOffThePaddleAndItsGlowFadesIn200Steps) {
    bench.StartPlaying();
    int frames = 0;
    while (tones.CountTones(ToneEffect::Click, 1500) == 0 && frames < 1000) {
        bench.RunFrame();
        ++frames;
    }
    EXPECT_EQ(frames, 155) << "about 155 frames to reach the paddle";
    EXPECT_NEAR(VectorLength(w.BallVX, w.BallVY), 155 * Gravity, 1e-3) << "leaves at the speed it came: 4.65";
    EXPECT_LT(w.BallVY, -4.6f) << "upwards";
    EXPECT_NEAR(PointDistance(Rounded(w.BallX), Rounded(w.BallY), w.PaddleX, w.PaddleY), 45.0f, 1.0f);
    EXPECT_EQ(w.BallTintRed, 200);
    EXPECT_EQ(w.BallTintGreen, 0);
    EXPECT_EQ(w.Particles.size(), 18u) << "the contact burst";

    bench.RunFrames(199);
    EXPECT_EQ(w.BallTintRed, 1);
    EXPECT_EQ(w.BallTintGreen, 199);
    bench.Pause(true);
    bench.RunFrames(50);
    EXPECT_EQ(w.BallTintRed, 1) << "no fading while paused";
    bench.Pause(false);
    bench.RunFrame();
    EXPECT_EQ(w.BallTintRed, 0);
    EXPECT_EQ(w.BallTintGreen, 200);
}

TEST_F(BallPaddleTest, SideWallsReflectTheBallOntoTheWallLineWithOneClick) {
    struct Case {
        float x, vx, expectedX, expectedVX;
    } const cases[] = {{21, -2, 20, 2}, {579, 2, 580, -2}, {22, -2, 20, -2}};
    for (const auto& c : cases) {
        WorldBench b;
        b.StartPlaying();
        b.World.BallX = c.x;
        b.World.BallVX = c.vx;
        b.World.BallY = 100;
        StepBallAndPaddle(b.World, b.Input(), b.Tones);
        EXPECT_EQ(b.World.BallX, c.expectedX) << c.x;
        EXPECT_EQ(b.World.BallVX, c.expectedVX) << c.x;
        const int clicks = c.expectedVX == c.vx ? 0 : 1;
        EXPECT_EQ(b.Tones.CountTones(ToneEffect::Click, 1100), clicks) << c.x;
    }
}

TEST_F(BallPaddleTest, CeilingHoldsARisingBallWithoutTouchingItsVelocityAndItStillScores) {
    bench.StartPlaying();
    w.BallY = 0;
    w.BallVY = -10;
    w.PaddleX = 0, w.PaddleY = 600;  // out of the way
    int framesOnCeiling = 0;
    float scoreOnCeiling = 0;
    while (w.BallVY < 0) {
        const float before = w.Score;
        StepBallAndPaddle(w, bench.Input(), tones);
        ASSERT_GE(w.BallY, CeilingLine);
        if (w.BallY == CeilingLine && w.BallVY < 0) {
            ++framesOnCeiling;
            scoreOnCeiling += w.Score - before;
        }
    }
    EXPECT_GT(framesOnCeiling, 50) << "it stays on the ceiling line until gravity turns it";
    EXPECT_GT(scoreOnCeiling, 1.0f) << "speed earns points even where the ball stands still";
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_GT(w.BallY, CeilingLine) << "then it falls";
}

TEST_F(BallPaddleTest, DistanceScoresATenthOfTheSpeedOnlyInAGame) {
    w.BallVX = 5.0f;
    w.BallVY = -Gravity;  // level flight after this step's gravity
    bench.StartPlaying();
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_FLOAT_EQ(w.Score, 0.5f);
    bench.StopPlaying();
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_FLOAT_EQ(w.Score, 0.5f) << "the demonstration scores nothing";
}

TEST_F(BallPaddleTest, LostBallHandlingInMenuAndGame) {
    struct Case {
        const char* Name;
        std::int32_t Lives;
        float BallY;
        bool Lost;
        std::int32_t LivesAfter;
        bool GameOver;
        int LifeLostTones;
    } const cases[] = {
        {"on the floor line is not lost", 3, 620.0f, false, 3, false, 0},
        {"just below it is", 3, 620.01f, true, 2, false, 1},
        {"the second life", 2, 700.0f, true, 1, false, 1},
        {"the last life ends the game without the life-lost tone", 1, 620.01f, true, 0, true, 0},
        {"in the menu the ball is simply put back", 0, 650.0f, true, 0, false, 0},
    };
    for (const auto& c : cases) {
        WorldBench b;
        if (c.Lives > 0) b.StartPlaying();
        b.Play.Lives = c.Lives;
        b.World.BallX = 50, b.World.BallY = c.BallY, b.World.BallVX = 3, b.World.BallVY = 2;
        b.World.PaddleX = 10, b.World.PaddleY = 20;
        b.Play.Countdown = 0;
        RandomStream game = b.World.GameRandom;
        const float startX = static_cast<float>(299 + 2 * game.UpTo(1));  // the game's numbers place the ball
        b.Pause(true);  // nothing moves after the catch
        const FrameEvents events = b.RunFrame();
        EXPECT_EQ(events.GameOver, c.GameOver) << c.Name;
        EXPECT_EQ(b.Play.Lives, c.LivesAfter) << c.Name;
        EXPECT_EQ(b.Tones.CountTones(ToneEffect::LifeLost, 1), c.LifeLostTones) << c.Name;
        EXPECT_EQ(b.Tones.CountTones(ToneEffect::GameOverTune, 1), c.GameOver ? 1 : 0) << c.Name;
        EXPECT_EQ(b.Tones.Tones.size(), static_cast<std::size_t>(c.LifeLostTones + (c.GameOver ? 1 : 0))) << c.Name;
        if (!c.Lost) {
            EXPECT_EQ(b.World.BallY, c.BallY) << c.Name;
            continue;
        }
        EXPECT_EQ(b.World.BallX, startX) << c.Name;
        EXPECT_EQ(b.World.BallY, 100.0f) << c.Name;
        EXPECT_EQ(b.World.BallVX, 0.0f) << c.Name;
        EXPECT_EQ(b.World.BallVY, 0.0f) << c.Name;
        EXPECT_EQ(b.World.PaddleX, 300) << c.Name;
        EXPECT_EQ(b.World.PaddleY, 500) << c.Name;
        EXPECT_EQ(b.Play.Countdown, c.Lives > 0 ? world::CountdownStart : 0) << c.Name;
    }
}

TEST_F(BallPaddleTest, ContactStartsBelowForty) {
    struct Case {
        float BallX, BallY;
        bool Contact;
    } const cases[] = {
        {300, 460, false},                                                            // exactly 40
        {300, 460.5f, false},                                                         // rounds to 460, halves to even
        {300, 460.6f, true},  {300, 461, true}, {324, 532, false}, {323, 532, true},  // 3-4-5 triangles: 40 and 39.4
    };
    for (const auto& c : cases) {
        WorldBench b;
        b.World.BallX = c.BallX, b.World.BallY = c.BallY;
        UpdatePaddleAngle(b.World);
        PaddleContact(b.World, b.Input(), b.Tones);
        EXPECT_EQ(b.Tones.CountTones(ToneEffect::Click, 1500), c.Contact ? 1 : 0) << c.BallX << "," << c.BallY;
    }
}

TEST_F(BallPaddleTest, ContactReflectsCapsAndPushesOut) {
    struct Case {
        const char* Name;
        float BallX, BallY, BallVX, BallVY;
        float ExpectVX, ExpectVY;
    } const cases[] = {
        {"falling at 9 leaves at exactly 7", 300, 461, 0, 9, 0, -7},
        {"falling at 5 leaves at 5", 300, 461, 0, 5, 0, -5},
        {"rising away is turned back towards the paddle", 300, 461, 0, -3, 0, 3},
        {"a ball from the side keeps its tangential motion", 270, 500, 4, 3, -4, 3},
    };
    for (const auto& c : cases) {
        WorldBench b;
        b.World.BallX = c.BallX, b.World.BallY = c.BallY, b.World.BallVX = c.BallVX, b.World.BallVY = c.BallVY;
        UpdatePaddleAngle(b.World);
        PaddleContact(b.World, b.Input(), b.Tones);
        EXPECT_NEAR(b.World.BallVX, c.ExpectVX, 1e-4) << c.Name;
        EXPECT_NEAR(b.World.BallVY, c.ExpectVY, 1e-4) << c.Name;
        EXPECT_NEAR(std::hypot(b.World.BallX - 300, b.World.BallY - 500), 45.0f, 1e-3) << c.Name;
    }
}

TEST_F(BallPaddleTest, InAGameThePaddlesMotionCarriesTheBallAndTiltsTheBounce) {
    bench.StartPlaying();
    w.BallX = 300, w.BallY = 458, w.BallVY = 4;
    bench.Mouse.Next = {6, 0, false};
    StepBallAndPaddle(w, bench.Input(), tones);  // the paddle moves 6 right, the ball falls into it
    ASSERT_EQ(w.PaddleX, 306);
    UpdatePaddleAngle(w);
    const float pushedX = 306 + CosDeg(w.PaddleAngle) * 45 + 6;
    PaddleContact(w, bench.Input(), tones);
    EXPECT_FLOAT_EQ(w.BallX, pushedX);
    EXPECT_LT(w.BallVY, 0.0f);
    EXPECT_GT(w.BallVX, 0.5f) << "the sideways push tilts the line of centres";

    WorldBench menu;
    menu.Mouse.Next = {50, 50, false};
    menu.World.BallX = 300, menu.World.BallY = 470;
    UpdatePaddleAngle(menu.World);
    PaddleContact(menu.World, menu.Input(), menu.Tones);
    EXPECT_FLOAT_EQ(menu.World.BallY, 455.0f) << "no mouse motion in the demonstration";
}

TEST_F(BallPaddleTest, MouseIsReadOnlyInTheSimulatedStepOfARunningGame) {
    bench.RunFrames(10);
    EXPECT_EQ(bench.MouseReads, 0) << "menu";
    bench.PressNewGame();
    bench.RunFrames(10);
    EXPECT_EQ(bench.MouseReads, 0) << "countdown";
    bench.StartPlaying();
    bench.Pause(true);
    bench.RunFrames(10);
    EXPECT_EQ(bench.MouseReads, 0) << "pause";
    bench.Pause(false);
    w.PaddleX = 300, w.PaddleY = 500;
    bench.Mouse.Next = {3, -2, false};
    bench.RunFrames(10);
    EXPECT_EQ(bench.MouseReads, 10);
    EXPECT_EQ(w.PaddleX, 330) << "one unit of motion, one pixel";
    EXPECT_EQ(w.PaddleY, 480);
}

TEST_F(BallPaddleTest, PaddleIsClampedToThePlayfield) {
    bench.StartPlaying();
    w.BallY = -50;  // stays far from the paddle
    bench.Mouse.Next = {-1000, 2000, false};
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_EQ(w.PaddleX, 0);
    EXPECT_EQ(w.PaddleY, 600);
    bench.Mouse.Next = {INT32_MAX, INT32_MIN, false};
    StepBallAndPaddle(w, bench.Input(), tones);
    EXPECT_EQ(w.PaddleX, 600);
    EXPECT_EQ(w.PaddleY, 0);
}

TEST_F(BallPaddleTest, AutopilotSwaysAroundTheBallAndDriftsBetween230And570) {
    w.BallX = 300, w.BallY = 100, w.PaddleY = 500;
    struct Case {
        std::int32_t AnimAngle;
        std::int32_t PaddleX, PaddleY;
    } const cases[] = {
        {0, 300, 400},     // no sway, middle height
        {90, 325, 427},    // sin 90 x (400/20 + 5) = 25; sin 9 x 170 = 26.6
        {900, 300, 570},   // sin 90 of AnimAngle / 10: lowest
        {2700, 300, 230},  // highest
    };
    for (const auto& c : cases) {
        WorldBench b;
        b.World.BallX = 300, b.World.BallY = 100, b.World.PaddleY = 500, b.World.BallVY = -Gravity;
        b.World.AnimAngle = c.AnimAngle;
        StepBallAndPaddle(b.World, b.Input(), b.Tones);
        EXPECT_EQ(b.World.PaddleX, c.PaddleX) << c.AnimAngle;
        EXPECT_EQ(b.World.PaddleY, c.PaddleY) << c.AnimAngle;
    }
}

// A face whose glyphs are as wide as their digit plus one, so the ink tells the digit.
class DigitWidthGlyphs final : public platform::GlyphSource {
public:
    int CellHeight() const override { return 40; }
    platform::GlyphBitmap Render(std::uint8_t character) override {
        platform::GlyphBitmap glyph;
        glyph.Width = character - '0' + 1;
        glyph.Height = 10;
        glyph.Advance = 20;
        glyph.Coverage.assign(static_cast<std::size_t>(glyph.Width * glyph.Height), 1);
        return glyph;
    }
};

int DrawnDigit(const render::Canvas& canvas) {
    int width = 0;
    for (int x = 0; x < render::Canvas::Width; ++x) width += canvas.PixelAt(x, 275) == render::TextColour;
    return width - 1;
}

TEST_F(BallPaddleTest, CountdownShowsThreeTwoOneZeroWithItsBeeps) {
    bench.Fonts.FontBold32 = render::Font(std::make_unique<DigitWidthGlyphs>());
    std::string digits;
    std::vector<std::pair<int, EffectStart>> beeps;
    for (int frame = 1; frame == 1 || bench.Play.Countdown > 0; ++frame) {
        const std::size_t tonesBefore = tones.Tones.size();
        const FrameEvents events = frame == 1 ? bench.PressNewGame() : bench.RunFrame();
        bench.Canvas.ClearScreen(0, 0, 0);
        bench.Canvas.SetColour(render::TextColour);
        render::DrawCountdownDigit(bench.Canvas, bench.Fonts, events.CountdownDigit);
        if (tones.Tones.size() > tonesBefore) beeps.emplace_back(frame, tones.Tones.back());
        const char digit = static_cast<char>('0' + DrawnDigit(bench.Canvas));
        if (digits.empty() || digits.back() != digit) digits += digit;
        const std::pair<int, char> expectedDigits[] = {{1, '3'},   {2, '2'},   {101, '2'},
                                                       {102, '1'}, {201, '1'}, {202, '0'}};
        for (const auto& [at, expectedDigit] : expectedDigits) {
            if (frame == at) {
                EXPECT_EQ(digit, expectedDigit) << "frame " << frame;
            }
        }
        ASSERT_LE(frame, 301);
    }
    EXPECT_EQ(digits, "3210");
    const std::vector<std::pair<int, EffectStart>> expected = {{1, {ToneEffect::Beep, 440}},
                                                               {101, {ToneEffect::Beep, 440}},
                                                               {201, {ToneEffect::Beep, 440}},
                                                               {301, {ToneEffect::Beep, 880}}};
    EXPECT_EQ(beeps, expected);
    EXPECT_TRUE(world::SimulationActive(bench.Play)) << "the ball falls from the next frame on";
}

TEST_F(BallPaddleTest, CountdownKeepsBallAndPaddleFrozen) {
    bench.PressNewGame();
    w.BallX = 299;
    bench.RunFrames(100);
    EXPECT_EQ(w.BallX, 299.0f);
    EXPECT_EQ(w.BallY, 100.0f);
    EXPECT_EQ(w.TrailRings.size(), 0u) << "no trail while frozen";
    EXPECT_EQ(w.TargetSize, 0.0f) << "the target does not grow";
}

TEST_F(BallPaddleTest, PauseFreezesTheWorldButKeepsDrawingIt) {
    bench.RunFrames(900);  // a demonstration with objects flying
    bench.Pause(true);
    w.Shots.push_back({100, 300, -60, 3});
    w.Popups.push_back({"250", 200, 300, 260, 2});
    w.Particles.push_back({render::RGB(150, 150, 0), 400, 300, 10, 20, 1, 3});
    w.TrailRings.push_back({500, 300, 15, 0.8f, render::RGB(0, 200, 0)});
    const World before = w;
    bench.RunFrames(30);
    EXPECT_EQ(w.BallX, before.BallX);
    EXPECT_EQ(w.BallY, before.BallY);
    EXPECT_EQ(w.PaddleX, before.PaddleX);
    EXPECT_EQ(w.AnimAngle, before.AnimAngle);
    EXPECT_EQ(w.TargetSize, before.TargetSize);
    EXPECT_EQ(w.Shots.size(), before.Shots.size());
    EXPECT_EQ(w.Shots.back().X, 100.0f);
    EXPECT_EQ(w.Shots.back().Y, 300.0f);
    EXPECT_EQ(w.Particles.back().Rot, 20.0f) << "no spin";
    EXPECT_EQ(w.Popups.back().Y, 300.0f);
    EXPECT_EQ(w.TrailRings.back().Radius, 15.0f);
    EXPECT_GT(bench.PixelsOf(render::ShotColour), 10) << "still drawn";
    EXPECT_GT(bench.PixelsOf(render::RGB(0, 160, 0)), 10) << "the ring at brightness 0.8";
}

}  // namespace
}  // namespace zorblet::world
