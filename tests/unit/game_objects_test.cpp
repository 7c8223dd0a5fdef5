// How the ball, the paddle and the small objects look, pixel by pixel.

#include "render/game_objects.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace zorblet::render {
namespace {

class GameObjectsTest : public ::testing::Test {
protected:
    GameObjectsTest() : fonts(CreateFonts(loader)) {
        canvas.ClearScreen(0, 0, 0);
        canvas.BeginDrawing();
    }
    int Count(Colour colour, int left = 0, int top = 0, int right = Canvas::Width, int bottom = Canvas::Height) const {
        int found = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) found += canvas.PixelAt(x, y) == colour;
        return found;
    }

    testing::BoxFontLoader loader;
    Fonts fonts;
    Canvas canvas;
};

TEST_F(GameObjectsTest, PaddlePointingStraightUpHasItsCornerAboveAndItsArcBelow) {
    DrawPaddle(canvas, 300, 500, 20, -90.0f);
    // The corner at the ball's side, in both outlines.
    EXPECT_EQ(canvas.PixelAt(300, 480), PaddleColour);
    EXPECT_EQ(canvas.PixelAt(300, 479), PaddleColour);
    EXPECT_EQ(Count(PaddleColour, 0, 0, Canvas::Width, 479), 0) << "nothing above the corner";
    // The straight sides end at 30 and 150 degrees: (317, 510) and (283, 510).
    EXPECT_EQ(canvas.PixelAt(317, 510), PaddleColour);
    EXPECT_EQ(canvas.PixelAt(283, 510), PaddleColour);
    // The far side bends outward along the circle, down to the bottom of it.
    EXPECT_EQ(canvas.PixelAt(300, 520), PaddleColour);
    EXPECT_EQ(canvas.PixelAt(300, 521), PaddleColour);
    EXPECT_EQ(Count(PaddleColour, 0, 522, Canvas::Width, Canvas::Height), 0);
    EXPECT_EQ(Count(PaddleColour, 295, 498, 306, 507), 0) << "hollow";
}

TEST_F(GameObjectsTest, TrailRingFadesEachChannelByItsBrightness) {
    DrawTrailRing(canvas, 100.4f, 100.6f, 19.5f, 0.25f, RGB(0, 200, 0));
    EXPECT_GT(Count(RGB(0, 50, 0)), 50);
    EXPECT_EQ(Count(RGB(0, 50, 0), 0, 0, 80, Canvas::Height), 0) << "radius 19.5 rounds to 20 (even)";
    EXPECT_EQ(canvas.PixelAt(80, 101), RGB(0, 50, 0)) << "centre (100, 101)";
    canvas.ClearScreen(0, 0, 0);
    DrawTrailRing(canvas, 300, 300, 10, 0.5f, RGB(201, 3, 0));
    EXPECT_GT(Count(RGB(100, 2, 0)), 10) << "100.5 and 1.5 round to even";
}

TEST_F(GameObjectsTest, BallIsAThickHollowRingInItsTint) {
    DrawBall(canvas, 300.0f, 200.0f, 20, 200, 0);
    const Colour red = BallColour(200, 0);
    EXPECT_EQ(red, RGB(250, 50, 50));
    EXPECT_EQ(canvas.PixelAt(280, 200), red);
    EXPECT_EQ(canvas.PixelAt(281, 200), red);
    EXPECT_EQ(Count(red, 290, 190, 311, 211), 0) << "hollow";
}

TEST_F(GameObjectsTest, TargetOfSizeOneIsTheSmallestRingAndPulsesYellow) {
    DrawTarget(canvas, 100, 100, 1.0f, 0);
    EXPECT_EQ(Count(RGB(200, 200, 0)), 4) << "radius 1 covers a 2x2 box; radius 0 draws nothing";
    canvas.ClearScreen(0, 0, 0);
    DrawTarget(canvas, 100, 100, 10.0f, 90);
    EXPECT_GT(Count(RGB(150, 150, 0)), 40);
    canvas.ClearScreen(0, 0, 0);
    DrawTarget(canvas, 100, 100, 10.0f, 270);
    EXPECT_GT(Count(RGB(250, 250, 0)), 40);
}

TEST_F(GameObjectsTest, ShotIsADartTrailingBehindItsTip) {
    DrawShot(canvas, 100.0f, 100.0f, 0.0f);
    EXPECT_EQ(canvas.PixelAt(100, 100), ShotColour);
    EXPECT_EQ(canvas.PixelAt(91, 100), ShotColour);
    EXPECT_EQ(canvas.PixelAt(90, 100), 0) << "the end point is left out";
    EXPECT_EQ(Count(ShotColour, 101, 0, Canvas::Width, Canvas::Height), 0) << "nothing ahead of the tip";
    EXPECT_GT(Count(ShotColour, 0, 101, Canvas::Width, Canvas::Height), 0) << "one side of the dart";
    EXPECT_GT(Count(ShotColour, 0, 0, Canvas::Width, 100), 0) << "and the other";
}

TEST_F(GameObjectsTest, ParticleIsAStrokeTurnedByItsRotation) {
    DrawParticle(canvas, 50.0f, 50.0f, 90.0f, RGB(150, 25, 25));
    EXPECT_EQ(Count(RGB(150, 25, 25)), 7);
    EXPECT_EQ(canvas.PixelAt(50, 44), RGB(150, 25, 25));
}

TEST_F(GameObjectsTest, PopupIsCentredOnItsX) {
    canvas.SetFont(fonts.FontBold14);
    canvas.SetColour(TextColour);
    DrawPopup(canvas, "1000", 300.0f, 200.0f);
    int left = Canvas::Width, right = -1;
    for (int x = 0; x < Canvas::Width; ++x) {
        if (canvas.PixelAt(x, 205) == TextColour) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    const int width = canvas.TextWidth("1000");
    EXPECT_EQ(left, 300 - width / 2);
    EXPECT_EQ(Count(TextColour, 0, 0, Canvas::Width, 200), 0) << "its top edge at y";
}

}  // namespace
}  // namespace zorblet::render
