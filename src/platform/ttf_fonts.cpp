#include "platform/ttf_fonts.h"

#include <SDL2/SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <string>

#include "platform/cp1252.h"
#include "platform/platform_error.h"

namespace zorblet::platform {

namespace {

struct FontFile {
    std::string Path;
    int Index = 0;
    bool NeedsSyntheticBold = false;
};

std::string DescribeFace(const char* family, FontStyle style) {
    return std::string("\"") + family + "\"" + (style == FontStyle::Bold ? " fett" : " normal");
}

[[noreturn]] void ThrowMissingFace(const char* family, FontStyle style) {
    throw PlatformError("Keine nichtproportionale Schrift für " + DescribeFace(family, style) +
                        " gefunden (fontconfig). Abhilfe: das Debian-Paket fonts-liberation installieren.");
}

FcPattern* MatchFace(const char* family, FontStyle style) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, style == FontStyle::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    return match;
}

FontFile FindFontFile(const char* family, FontStyle style) {
    FcPattern* match = MatchFace(family, style);
    if (match == nullptr) ThrowMissingFace(family, style);
    FcChar8* path = nullptr;
    int spacing = FC_PROPORTIONAL;
    int weight = FC_WEIGHT_REGULAR;
    FontFile file;
    // The table's columns are runs of spaces: only a monospaced face will do.
    const bool usable = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
                        FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO;
    if (usable) {
        file.Path = reinterpret_cast<const char*>(path);
        FcPatternGetInteger(match, FC_INDEX, 0, &file.Index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        file.NeedsSyntheticBold = style == FontStyle::Bold && weight < FC_WEIGHT_BOLD;
    }
    FcPatternDestroy(match);
    if (!usable) ThrowMissingFace(family, style);
    return file;
}

void CopyCoverage(SDL_Surface* surface, GlyphBitmap& glyph) {
    glyph.Width = surface->w;
    glyph.Height = surface->h;
    glyph.Coverage.assign(static_cast<std::size_t>(glyph.Width) * glyph.Height, 0);
    const auto* pixels = static_cast<const std::uint8_t*>(surface->pixels);
    for (int y = 0; y < glyph.Height; ++y) {
        for (int x = 0; x < glyph.Width; ++x) {
            glyph.Coverage[static_cast<std::size_t>(y) * glyph.Width + x] = pixels[y * surface->pitch + x] != 0;
        }
    }
}

class TtfGlyphSource final : public GlyphSource {
public:
    explicit TtfGlyphSource(TTF_Font* font) : font_(font) { TTF_Init(); }
    ~TtfGlyphSource() override {
        TTF_CloseFont(font_);
        TTF_Quit();
    }
    TtfGlyphSource(const TtfGlyphSource&) = delete;
    TtfGlyphSource& operator=(const TtfGlyphSource&) = delete;

    int CellHeight() const override { return TTF_FontHeight(font_); }

    GlyphBitmap Render(std::uint8_t character) override {
        const Uint32 codePoint = UnicodeOfCp1252(character);
        GlyphBitmap glyph;
        int minX = 0, maxX = 0, minY = 0, maxY = 0;
        TTF_GlyphMetrics32(font_, codePoint, &minX, &maxX, &minY, &maxY, &glyph.Advance);
        // Solid rendering: text pixels are set outright, never blended.
        SDL_Surface* surface = TTF_RenderGlyph32_Solid(font_, codePoint, SDL_Color{255, 255, 255, 255});
        if (surface == nullptr) return glyph;
        // A glyph that reaches left of the pen is rendered shifted right by that much.
        glyph.Left = minX < 0 ? minX : 0;
        CopyCoverage(surface, glyph);
        SDL_FreeSurface(surface);
        return glyph;
    }

private:
    TTF_Font* font_;
};

}  // namespace

TtfFontLoader::TtfFontLoader() {
    if (TTF_Init() != 0)
        throw PlatformError(std::string("Die Schriftausgabe lässt sich nicht starten: ") + TTF_GetError());
    if (FcInit() == FcFalse) throw PlatformError("fontconfig lässt sich nicht starten.");
}

TtfFontLoader::~TtfFontLoader() {
    TTF_Quit();
}

std::unique_ptr<GlyphSource> TtfFontLoader::Load(const char* family, FontStyle style, int emPixels) {
    const FontFile file = FindFontFile(family, style);
    // At 72 dpi SDL_ttf's point size is the em height in pixels.
    TTF_Font* font = TTF_OpenFontIndex(file.Path.c_str(), emPixels, file.Index);
    if (font == nullptr) {
        throw PlatformError("Die Schrift " + file.Path + " lässt sich nicht laden: " + TTF_GetError());
    }
    if (file.NeedsSyntheticBold) TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    return std::make_unique<TtfGlyphSource>(font);
}

}  // namespace zorblet::platform
