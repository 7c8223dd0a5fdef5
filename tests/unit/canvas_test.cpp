#include "render/canvas.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

#include "support/fakes.h"

namespace zorblet::render {
namespace {

constexpr Colour Red = RGB(255, 0, 0);
constexpr Colour Green = RGB(0, 255, 0);
constexpr Colour Black = RGB(0, 0, 0);

class CanvasTest : public ::testing::Test {
protected:
    CanvasTest() : font(std::make_unique<testing::BoxGlyphSource>(4, 10, 6)) {
        canvas.ClearScreen(0, 0, 0);
        canvas.BeginDrawing();
    }

    std::set<std::pair<int, int>> PixelsOf(Colour colour) const {
        std::set<std::pair<int, int>> found;
        for (int y = 0; y < Canvas::Height; ++y)
            for (int x = 0; x < Canvas::Width; ++x)
                if (canvas.PixelAt(x, y) == colour) found.insert({x, y});
        return found;
    }

    Canvas canvas;
    Font font;
};

TEST_F(CanvasTest, CircleCoversItsBoxWithoutTheRightAndBottomEdges) {
    canvas.DrawCircle(300, 300, 20, Red);
    const auto pixels = PixelsOf(Red);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (auto [x, y] : pixels) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    EXPECT_EQ(minX, 280);
    EXPECT_EQ(maxX, 319);
    EXPECT_EQ(minY, 280);
    EXPECT_EQ(maxY, 319);
    EXPECT_EQ(canvas.PixelAt(300, 300), Black) << "outline only, never filled";
}

TEST_F(CanvasTest, CircleOutlineIsAClosedSymmetricRing) {
    for (int radius : {1, 2, 3, 7, 20, 55}) {
        canvas.ClearScreen(0, 0, 0);
        canvas.DrawCircle(300, 300, radius, Red);
        const auto pixels = PixelsOf(Red);
        for (auto [x, y] : pixels) {
            // Mirror images about the box's centre lines (299.5, 299.5) and its diagonal.
            EXPECT_TRUE(pixels.count({599 - x, y}) && pixels.count({x, 599 - y}) && pixels.count({y, x}))
                << "radius " << radius << " at " << x << "," << y;
            int neighbours = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if ((dx || dy) && pixels.count({x + dx, y + dy})) ++neighbours;
            EXPECT_GE(neighbours, 2) << "gap in the ring, radius " << radius << " at " << x << "," << y;
        }
        EXPECT_EQ(pixels.count({300 - radius, 300}), 1u) << "radius " << radius;
        EXPECT_EQ(pixels.count({300 + radius, 300}), 0u) << "radius " << radius;
    }
}

TEST_F(CanvasTest, CircleWithoutSizeDrawsNothingButSetsTheColour) {
    canvas.DrawCircle(300, 300, 0, Red);
    canvas.DrawCircle(300, 300, -5, Green);
    EXPECT_TRUE(PixelsOf(Red).empty());
    EXPECT_TRUE(PixelsOf(Green).empty());
    canvas.SetFont(font);
    canvas.SetTextPosition(10, 10);
    canvas.DrawText("A");
    EXPECT_EQ(canvas.PixelAt(10, 10), Green);
}

TEST_F(CanvasTest, ShapesAreClippedAtTheScreenEdges) {
    canvas.DrawCircle(0, 0, 30, Red);
    canvas.DrawCircle(-1000, 5000, 40, Red);
    canvas.DrawLine(-50, 10, 700, 0, Red);
    canvas.DrawLine(590, 590, 2'000'000'000, 0, Red);
    canvas.DrawLine(-5000, -10, 10000, 0, Red);
    canvas.SetColour(Red);
    canvas.DrawSegment(2'147'483'000, 5, 2'147'483'600, 5);
    EXPECT_EQ(canvas.PixelAt(0, 10), Red);
    EXPECT_EQ(canvas.PixelAt(599, 10), Red);
    EXPECT_EQ(canvas.PixelAt(29, 0), Red);
    EXPECT_EQ(canvas.PixelAt(599, 590), Red);
}

struct LineCase {
    int X, Y, Width, Height;
    std::set<std::pair<int, int>> Expected;
};

TEST_F(CanvasTest, LinesLeaveOutTheirEndPoint) {
    const LineCase cases[] = {
        {10, 10, 5, 0, {{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}}},
        {10, 10, -3, 0, {{10, 10}, {9, 10}, {8, 10}}},
        {20, 20, 0, 3, {{20, 20}, {20, 21}, {20, 22}}},
        {20, 20, 0, -2, {{20, 20}, {20, 19}}},
        {30, 30, 3, 3, {{30, 30}, {31, 31}, {32, 32}}},
        {30, 30, -2, 2, {{30, 30}, {29, 31}}},
        {40, 40, 0, 0, {}},
    };
    for (const auto& line : cases) {
        canvas.ClearScreen(0, 0, 0);
        canvas.DrawLine(line.X, line.Y, line.Width, line.Height, Red);
        EXPECT_EQ(PixelsOf(Red), line.Expected)
            << "line from " << line.X << "," << line.Y << " by " << line.Width << "," << line.Height;
    }
}

TEST_F(CanvasTest, SegmentIsConnectedAndUsesTheCurrentColour) {
    canvas.SetColour(Green);
    canvas.DrawSegment(100, 100, 107, 103);
    const auto pixels = PixelsOf(Green);
    EXPECT_EQ(pixels.size(), 7u) << "one pixel per column of the longer axis, end point left out";
    for (int x = 100; x < 107; ++x) {
        int inColumn = 0;
        for (auto [px, py] : pixels) inColumn += px == x;
        EXPECT_EQ(inColumn, 1) << "column " << x;
    }
    EXPECT_EQ(pixels.count({107, 103}), 0u);
}

TEST_F(CanvasTest, TextTakesTheColourOfTheLastShape) {
    canvas.SetColour(Green);
    canvas.DrawLine(0, 0, 1, 0, Red);
    canvas.SetFont(font);
    canvas.SetTextPosition(100, 100);
    canvas.DrawText("X");
    EXPECT_EQ(canvas.PixelAt(100, 100), Red);
    EXPECT_EQ(canvas.PixelAt(103, 109), Red);
    EXPECT_EQ(canvas.PixelAt(104, 100), Black) << "the glyph is 4 wide";
}

TEST_F(CanvasTest, TextIsTransparentBetweenItsLetters) {
    canvas.DrawCircle(110, 105, 10, Red);
    canvas.SetColour(Green);
    canvas.SetFont(font);
    canvas.SetTextPosition(100, 100);
    canvas.DrawText("A A");
    // Glyphs at 100..103 and 112..115; the space and the gaps keep the circle.
    EXPECT_EQ(canvas.PixelAt(100, 105), Green);
    EXPECT_EQ(canvas.PixelAt(100, 104), Green);
    EXPECT_EQ(canvas.PixelAt(119, 105), Red) << "circle pixel right of the text";
    EXPECT_FALSE(PixelsOf(Red).empty());
    const auto circleUnderGap = canvas.PixelAt(110, 95);
    EXPECT_EQ(circleUnderGap, Red) << "the circle's top stays visible above the text cells";
}

TEST_F(CanvasTest, DrawTextMovesThePositionByTheTextWidth) {
    canvas.SetFont(font);
    EXPECT_EQ(canvas.TextWidth("ab c"), 24);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    canvas.SetColour(Red);
    canvas.SetTextPosition(200, 50);
    canvas.DrawText("ab");
    canvas.DrawText("c");
    EXPECT_EQ(canvas.PixelAt(212, 50), Red) << "third glyph starts after two advances";
    EXPECT_EQ(canvas.PixelAt(211, 50), Black);
}

TEST_F(CanvasTest, TextOffTheScreenIsClipped) {
    canvas.SetFont(font);
    canvas.SetColour(Red);
    canvas.SetTextPosition(-3, -5);
    canvas.DrawText("A");
    canvas.SetTextPosition(597, 595);
    canvas.DrawText("AAAA");
    canvas.SetTextPosition(-100000, 300);
    canvas.DrawText("AAAA");
    EXPECT_EQ(canvas.PixelAt(0, 0), Red);
    EXPECT_EQ(canvas.PixelAt(1, 4), Black);
    EXPECT_EQ(canvas.PixelAt(599, 599), Red);
}

TEST_F(CanvasTest, ClearScreenFillsEveryPixel) {
    canvas.ClearScreen(1, 2, 3);
    EXPECT_EQ(PixelsOf(RGB(1, 2, 3)).size(), static_cast<std::size_t>(Canvas::Width * Canvas::Height));
    EXPECT_EQ(canvas.Pixels()[0], 0x00010203u) << "screen pixels are 0x00RRGGBB";
}

}  // namespace
}  // namespace zorblet::render
