#include "render/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zorblet::render {

namespace {

constexpr std::uint32_t PixelOf(Colour colour) {
    return static_cast<std::uint32_t>(RedOf(colour) << 16 | GreenOf(colour) << 8 | BlueOf(colour));
}

constexpr Colour ColourOf(std::uint32_t pixel) {
    return RGB(static_cast<int>(pixel >> 16 & 255), static_cast<int>(pixel >> 8 & 255), static_cast<int>(pixel & 255));
}

// True when the segment lies wholly beyond one edge of the screen.
bool OutsideScreen(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
    return (x1 < 0 && x2 < 0) || (y1 < 0 && y2 < 0) || (x1 >= Canvas::Width && x2 >= Canvas::Width) ||
           (y1 >= Canvas::Height && y2 >= Canvas::Height);
}

}  // namespace

Canvas::Canvas() : pixels_(static_cast<std::size_t>(Width) * Height, 0) {}

void Canvas::ClearScreen(int red, int green, int blue) {
    std::fill(pixels_.begin(), pixels_.end(), PixelOf(RGB(red, green, blue)));
}

void Canvas::BeginDrawing() {
    colour_ = 0;
    font_ = nullptr;
    textX_ = textY_ = 0;
}

void Canvas::SetColour(int red, int green, int blue) {
    colour_ = PixelOf(RGB(red, green, blue));
}

void Canvas::SetColour(Colour colour) {
    colour_ = PixelOf(colour);
}

void Canvas::Plot(std::int64_t x, std::int64_t y) {
    if (x >= 0 && x < Width && y >= 0 && y < Height) {
        pixels_[static_cast<std::size_t>(y) * Width + static_cast<std::size_t>(x)] = colour_;
    }
}

// The box has an even size, so its centre lies between pixels: offset d to the
// right of the centre is column x + d, to the left column x - 1 - d.
void Canvas::PlotCircleOctants(std::int64_t x, std::int64_t y, std::int64_t dx, std::int64_t dy) {
    Plot(x + dx, y + dy);
    Plot(x - 1 - dx, y + dy);
    Plot(x + dx, y - 1 - dy);
    Plot(x - 1 - dx, y - 1 - dy);
    Plot(x + dy, y + dx);
    Plot(x - 1 - dy, y + dx);
    Plot(x + dy, y - 1 - dx);
    Plot(x - 1 - dy, y - 1 - dx);
}

void Canvas::DrawCircle(int x, int y, int radius, Colour colour) {
    SetColour(colour);
    if (radius <= 0) return;  // the box is empty
    const std::int64_t cx = x, cy = y;
    if (OutsideScreen(cx - radius, cy - radius, cx + radius - 1, cy + radius - 1)) return;
    // The outline runs through pixel centres at distance radius - 0.5 from the box's centre;
    // row by row the outermost pixel inside it, mirrored into all eight octants.
    const double outline = radius - 0.5;
    for (int row = 0; row < radius; ++row) {
        const double rowCentre = row + 0.5;
        const int column =
            static_cast<int>(std::floor(std::sqrt(std::max(0.0, outline * outline - rowCentre * rowCentre))));
        PlotCircleOctants(x, y, column, row);
    }
}

void Canvas::DrawLine(int x, int y, int width, int height, Colour colour) {
    SetColour(colour);
    DrawSegment(x, y, x + width, y + height);
}

void Canvas::DrawSegment(int x1, int y1, int x2, int y2) {
    if (OutsideScreen(x1, y1, x2, y2)) return;
    const std::int64_t dx = static_cast<std::int64_t>(x2) - x1;
    const std::int64_t dy = static_cast<std::int64_t>(y2) - y1;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t steps = std::max(std::llabs(dx), std::llabs(dy));  // the end point is step `steps`
    const std::int64_t major = xMajor ? x1 : y1;
    const std::int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t minor = xMajor ? y1 : x1;
    const std::int64_t minorLength = std::llabs(xMajor ? dy : dx);
    const std::int64_t minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    // Only the steps whose major coordinate lies on the screen are visited.
    const std::int64_t limit = xMajor ? Width : Height;
    const std::int64_t first = std::max<std::int64_t>(0, majorStep > 0 ? -major : major - (limit - 1));
    const std::int64_t last = std::min<std::int64_t>(steps, majorStep > 0 ? limit - major : major + 1);
    for (std::int64_t i = first; i < last; ++i) {
        // The minor coordinate is the exact line's, rounded to the nearest pixel.
        const std::int64_t offset = (2 * i * minorLength + steps) / (2 * steps);
        const std::int64_t m = major + majorStep * i;
        const std::int64_t n = minor + minorStep * offset;
        if (xMajor) {
            Plot(m, n);
        } else {
            Plot(n, m);
        }
    }
}

void Canvas::SetTextPosition(int x, int y) {
    textX_ = x;
    textY_ = y;
}

void Canvas::DrawGlyph(const platform::GlyphBitmap& glyph, int penX, int penY) {
    const int left = penX + glyph.Left;
    const int top = penY + glyph.Top;
    const int firstX = std::max(0, -left), lastX = std::min(glyph.Width, Width - left);
    const int firstY = std::max(0, -top), lastY = std::min(glyph.Height, Height - top);
    for (int gy = firstY; gy < lastY; ++gy) {
        const std::uint8_t* coverage = glyph.Coverage.data() + static_cast<std::size_t>(gy) * glyph.Width;
        const std::size_t rowStart = static_cast<std::size_t>(top + gy) * Width;
        for (int gx = firstX; gx < lastX; ++gx) {
            if (coverage[gx] != 0) pixels_[rowStart + static_cast<std::size_t>(left + gx)] = colour_;
        }
    }
}

void Canvas::DrawText(std::string_view text) {
    if (font_ == nullptr) return;
    for (char c : text) {
        const auto& glyph = font_->Glyph(static_cast<std::uint8_t>(c));
        DrawGlyph(glyph, textX_, textY_);
        textX_ += glyph.Advance;
    }
}

int Canvas::TextWidth(std::string_view text) {
    return font_ == nullptr ? 0 : font_->TextWidth(text);
}

Colour Canvas::PixelAt(int x, int y) const {
    return ColourOf(pixels_[static_cast<std::size_t>(y) * Width + x]);
}

}  // namespace zorblet::render
