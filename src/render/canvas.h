#pragma once
// The 600x600 picture every frame is drawn into, with the game's drawing operations.

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/colour.h"
#include "render/font.h"
#include "shared/playfield.h"

namespace zorblet::render {

class Canvas {
public:
    static constexpr int Width = PlayfieldSize;
    static constexpr int Height = PlayfieldSize;

    Canvas();

    void ClearScreen(int red, int green, int blue);
    // Starts a frame's drawing: colour black, no font, text position at the origin.
    void BeginDrawing();

    void SetColour(int red, int green, int blue);
    void SetColour(Colour colour);

    // Outline of the circle inscribed in the box from (x - radius, y - radius) to
    // (x + radius, y + radius), right and bottom edges excluded; leaves its colour set.
    void DrawCircle(int x, int y, int radius, Colour colour);
    // Line from (x, y) to (x + width, y + height) without the end point; leaves its colour set.
    void DrawLine(int x, int y, int width, int height, Colour colour);
    // Line in the current colour from (x1, y1) to (x2, y2) without the end point.
    void DrawSegment(int x1, int y1, int x2, int y2);

    void SetFont(const Font& font) { font_ = &font; }
    // Top-left corner of the next text's character cell.
    void SetTextPosition(int x, int y);
    // Transparent text in the current font and colour; moves the text position past it.
    void DrawText(std::string_view text);
    int TextWidth(std::string_view text);

    // The pixel's colour in the game's packing (for tests and checks).
    Colour PixelAt(int x, int y) const;
    // Rows of 0x00RRGGBB, ready for the screen.
    const std::uint32_t* Pixels() const { return pixels_.data(); }

private:
    void Plot(std::int64_t x, std::int64_t y);
    void PlotCircleOctants(std::int64_t x, std::int64_t y, std::int64_t dx, std::int64_t dy);
    void DrawGlyph(const platform::GlyphBitmap& glyph, int penX, int penY);

    std::vector<std::uint32_t> pixels_;
    std::uint32_t colour_ = 0;
    const Font* font_ = nullptr;
    int textX_ = 0;
    int textY_ = 0;
};

}  // namespace zorblet::render
