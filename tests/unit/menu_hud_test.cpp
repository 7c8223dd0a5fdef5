// Placement of the menu, help page and HUD texts, with a face of solid boxes.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"
#include "shared/game_math.h"
#include "support/fakes.h"

namespace zorblet::render {
namespace {

constexpr int Advance14 = 19 / 2 + 1;  // the box face's cell for the 19-pixel em
constexpr int Advance22 = 29 / 2 + 1;

struct Extent {
    int Pixels = 0, MinX = Canvas::Width, MaxX = -1;
};

class MenuHudTest : public ::testing::Test {
protected:
    MenuHudTest() : fonts(CreateFonts(loader)) {
        canvas.ClearScreen(0, 0, 0);
        canvas.BeginDrawing();
    }
    Extent ExtentInRows(Colour colour, int top, int bottom) const {
        Extent e;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < Canvas::Width; ++x)
                if (canvas.PixelAt(x, y) == colour) {
                    ++e.Pixels;
                    e.MinX = std::min(e.MinX, x);
                    e.MaxX = std::max(e.MaxX, x);
                }
        return e;
    }

    testing::BoxFontLoader loader;
    Fonts fonts;
    Canvas canvas;
};

TEST_F(MenuHudTest, ScoreAndLivesAreRightAlignedAndGrowToTheLeft) {
    DrawHud(canvas, fonts, {2, -10.0f, 120});
    // "Punkte: -10" is 11 cells ending at x = 580; "Leben: 2" is 8 cells ending at x = 380.
    EXPECT_EQ(ExtentInRows(TextColour, 570, 580).MinX, 380 - 8 * Advance14);
    const Extent right = ExtentInRows(TextColour, 570, 580);
    canvas.ClearScreen(0, 0, 0);
    DrawHud(canvas, fonts, {2, 123456.5f, 120});
    const Extent longer = ExtentInRows(TextColour, 570, 580);
    EXPECT_EQ(longer.MaxX, right.MaxX) << "the right edge stays put";
    EXPECT_EQ(longer.MaxX, 580 - Advance14 + 19 / 2 - 1) << "last cell's ink ends inside x < 580";
}

TEST_F(MenuHudTest, FpsReadingAndCreditLineStandInTheCorners) {
    DrawHud(canvas, fonts, {0, 0.0f, 120});
    const Extent fps = ExtentInRows(TextColour, 5, 16);
    EXPECT_EQ(fps.MinX, 5);
    EXPECT_EQ(fps.MaxX, 5 + 7 * (11 / 2 + 1) - 2) << "\"120 FPS\" is 7 cells of the 8-point face";
    EXPECT_EQ(ExtentInRows(TextColour, 580, 591).MinX, 10);
}

TEST_F(MenuHudTest, MenuLinesAreCentredAndTheSoundLineFollowsTheFlag) {
    DrawMenu(canvas, fonts, "", true);
    const Extent soundOn = ExtentInRows(TextColour, 430, 459);
    EXPECT_EQ(soundOn.MinX, 300 - (12 * Advance22 >> 1)) << "\"[F3] Ton aus\"";
    canvas.ClearScreen(0, 0, 0);
    DrawMenu(canvas, fonts, "", false);
    const Extent soundOff = ExtentInRows(TextColour, 430, 459);
    EXPECT_EQ(soundOff.MinX, 300 - (11 * Advance22 >> 1)) << "\"[F3] Ton an\"";
    for (int y : {350, 390, 470, 510}) EXPECT_GT(ExtentInRows(TextColour, y, y + 29).Pixels, 0) << y;
    EXPECT_EQ(ExtentInRows(StatusColour, 0, 600).Pixels, 0) << "no status text";
}

TEST_F(MenuHudTest, StatusLineIsCentredInItsOwnColour) {
    DrawMenu(canvas, fonts,
             "Daten werden \xFC"
             "bertragen...",
             true);
    const Extent status = ExtentInRows(StatusColour, 320, 339);
    EXPECT_EQ(status.MinX, 300 - (26 * Advance14 >> 1));
    EXPECT_EQ(ExtentInRows(StatusColour, 339, 600).Pixels, 0);
}

TEST_F(MenuHudTest, HelpPageHasTwelveLinesAtTheLeftMargin) {
    canvas.SetColour(TextColour);
    DrawHelpPage(canvas, fonts);
    int lines = 0;
    for (int y = 0; y < 600; ++y) {
        const bool inked = ExtentInRows(TextColour, y, y + 1).Pixels > 0;
        const bool above = y > 0 && ExtentInRows(TextColour, y - 1, y).Pixels > 0;
        if (inked && !above) {
            ++lines;
            EXPECT_EQ(ExtentInRows(TextColour, y, y + 1).MinX, 50) << y;
        }
    }
    EXPECT_EQ(lines, 12);
}

TEST(RoundToInt, HalvesGoToEvenAndExtremesSaturate) {
    const struct {
        float In;
        std::int32_t Out;
    } cases[] = {
        {2.5f, 2},     {3.5f, 4},        {-2.5f, -2},       {-0.5f, 0}, {0.49f, 0},
        {-10.0f, -10}, {1e10f, INT_MAX}, {-1e10f, INT_MIN}, {NAN, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundToInt(c.In), c.Out) << c.In;
}

}  // namespace
}  // namespace zorblet::render
