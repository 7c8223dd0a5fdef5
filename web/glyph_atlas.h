#pragma once
// The game's glyphs as one small file, for a build without SDL_ttf and fontconfig (the
// watch page's module): each face the game loads, every Windows-1252 character of it as
// render::Font keeps it (cut to its ink), one bit a pixel. zorblet-glyph-atlas writes it
// once at build time from the game's own fonts; AtlasFontLoader hands the faces back to
// render::CreateFonts, so the module draws text with the game's drawing code unchanged.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/fonts.h"

namespace zorblet::web {

// One face as the game asks for it, and what it draws.
struct AtlasFace {
    std::string Family;
    platform::FontStyle Style = platform::FontStyle::Regular;
    int EmPixels = 0;
    int CellHeight = 0;
    std::array<platform::GlyphBitmap, 256> Glyphs{};
};

// The faces render::CreateFonts loads from the given loader, in its order, each with all
// 256 characters as render::Font keeps them.
std::vector<AtlasFace> CollectGameFaces(platform::FontLoader& source);

// The atlas file: "ZGLA", a layout version, the faces. Coverage is kept as ink or none,
// which is all the canvas reads of it. Throws std::length_error for a face or glyph too
// large for the layout (a family name over 255 bytes, a glyph over 255 pixels a side).
std::vector<std::uint8_t> EncodeGlyphAtlas(const std::vector<AtlasFace>& faces);
// Nothing when the bytes are not a whole atlas of this layout; never reads past them.
std::optional<std::vector<AtlasFace>> DecodeGlyphAtlas(std::span<const std::uint8_t> bytes);

// Faces from an atlas. A face the atlas lacks loads as an empty one (no glyphs, no width)
// and is named in Missing(), so that a build without exceptions can say so.
class AtlasFontLoader final : public platform::FontLoader {
public:
    explicit AtlasFontLoader(std::vector<AtlasFace> faces);
    std::unique_ptr<platform::GlyphSource> Load(const char* family, platform::FontStyle style, int emPixels) override;
    const std::vector<std::string>& Missing() const { return missing_; }

private:
    std::vector<std::shared_ptr<const AtlasFace>> faces_;
    std::vector<std::string> missing_;
};

}  // namespace zorblet::web
