#pragma once

#include "platform/fonts.h"

namespace zorblet::platform {

// Faces found through fontconfig, rendered with SDL_ttf.
class TtfFontLoader final : public FontLoader {
public:
    TtfFontLoader();
    ~TtfFontLoader() override;
    TtfFontLoader(const TtfFontLoader&) = delete;
    TtfFontLoader& operator=(const TtfFontLoader&) = delete;

    // Throws PlatformError when no monospaced face answers to the family.
    std::unique_ptr<GlyphSource> Load(const char* family, FontStyle style, int emPixels) override;
};

}  // namespace zorblet::platform
