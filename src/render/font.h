#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/fonts.h"

namespace zorblet::render {

// A face whose glyphs are rendered on first use and kept for the rest of the run.
class Font {
public:
    Font() = default;  // an empty face: no glyphs, no width
    explicit Font(std::unique_ptr<platform::GlyphSource> source);

    int CellHeight() const { return cellHeight_; }
    int Advance(std::uint8_t character) const { return Glyph(character).Advance; }
    const platform::GlyphBitmap& Glyph(std::uint8_t character) const;
    // The sum of the glyphs' advances.
    int TextWidth(std::string_view text) const;

private:
    std::unique_ptr<platform::GlyphSource> source_;
    // A cache: a glyph is the same whenever it is rendered, so drawing with a const font
    // may fill it in.
    mutable std::array<std::optional<platform::GlyphBitmap>, 256> glyphs_;
    int cellHeight_ = 0;
};

// The game's five fonts.
struct Fonts {
    Font FontBold14;    // help page, score and lives, status line, table heading, pop-ups
    Font FontNormal14;  // table rows
    Font FontBold22;    // menu lines
    Font FontBold8;     // FPS reading, credit line
    Font FontBold32;    // countdown digit
};

// Creates the five fonts; throws platform::PlatformError when the face is missing.
Fonts CreateFonts(platform::FontLoader& loader);

}  // namespace zorblet::render
