#pragma once
// What the font layer hands to the drawing code: glyph bitmaps of
// Windows-1252 characters, rendered on request.

#include <cstdint>
#include <memory>
#include <vector>

namespace zorblet::platform {

// One character's picture, relative to the pen position at the top-left of
// the character cell: Coverage is Width x Height bytes, nonzero where ink is.
struct GlyphBitmap {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Advance = 0;
    std::vector<std::uint8_t> Coverage;
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    virtual int CellHeight() const = 0;
    virtual GlyphBitmap Render(std::uint8_t character) = 0;
};

enum class FontStyle { Regular, Bold };

class FontLoader {
public:
    virtual ~FontLoader() = default;
    // A face of the given family and style whose em is emPixels high.
    virtual std::unique_ptr<GlyphSource> Load(const char* family, FontStyle style, int emPixels) = 0;
};

}  // namespace zorblet::platform
