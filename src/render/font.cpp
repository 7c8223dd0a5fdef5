#include "render/font.h"

#include <algorithm>

namespace zorblet::render {

namespace {

constexpr const char* FaceName = "Courier New";

// Em heights in pixels of the game's point sizes at 96 dpi: 14, 22, 8 and 32 points.
constexpr int Em14 = 19;
constexpr int Em22 = 29;
constexpr int Em8 = 11;
constexpr int Em32 = 43;

bool RowIsEmpty(const platform::GlyphBitmap& glyph, int y) {
    const auto row = glyph.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.Width;
    return std::all_of(row, row + glyph.Width, [](std::uint8_t c) { return c == 0; });
}

bool ColumnIsEmpty(const platform::GlyphBitmap& glyph, int x) {
    for (int y = 0; y < glyph.Height; ++y) {
        if (glyph.Coverage[static_cast<std::size_t>(y) * glyph.Width + x] != 0) return false;
    }
    return true;
}

// Cuts a glyph down to its ink, so that drawing visits no empty pixels.
platform::GlyphBitmap TrimToInk(platform::GlyphBitmap glyph) {
    int top = 0, bottom = glyph.Height, left = 0, right = glyph.Width;
    while (top < bottom && RowIsEmpty(glyph, top)) ++top;
    while (bottom > top && RowIsEmpty(glyph, bottom - 1)) --bottom;
    while (left < right && ColumnIsEmpty(glyph, left)) ++left;
    while (right > left && ColumnIsEmpty(glyph, right - 1)) --right;
    platform::GlyphBitmap trimmed;
    trimmed.Advance = glyph.Advance;
    trimmed.Left = glyph.Left + left;
    trimmed.Top = glyph.Top + top;
    trimmed.Width = top < bottom ? right - left : 0;
    trimmed.Height = top < bottom ? bottom - top : 0;
    for (int y = top; y < bottom; ++y) {
        const auto row = glyph.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.Width;
        trimmed.Coverage.insert(trimmed.Coverage.end(), row + left, row + right);
    }
    return trimmed;
}

}  // namespace

Font::Font(std::unique_ptr<platform::GlyphSource> source)
    : source_(std::move(source)), cellHeight_(source_ ? source_->CellHeight() : 0) {}

const platform::GlyphBitmap& Font::Glyph(std::uint8_t character) const {
    auto& slot = glyphs_[character];
    if (!slot) slot = source_ ? TrimToInk(source_->Render(character)) : platform::GlyphBitmap{};
    return *slot;
}

int Font::TextWidth(std::string_view text) const {
    int width = 0;
    for (char c : text) width += Advance(static_cast<std::uint8_t>(c));
    return width;
}

Fonts CreateFonts(platform::FontLoader& loader) {
    using platform::FontStyle;
    return Fonts{
        Font(loader.Load(FaceName, FontStyle::Bold, Em14)), Font(loader.Load(FaceName, FontStyle::Regular, Em14)),
        Font(loader.Load(FaceName, FontStyle::Bold, Em22)), Font(loader.Load(FaceName, FontStyle::Bold, Em8)),
        Font(loader.Load(FaceName, FontStyle::Bold, Em32)),
    };
}

}  // namespace zorblet::render
