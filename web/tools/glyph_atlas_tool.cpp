// zorblet-glyph-atlas FILE: writes the glyph atlas of the watch page's module, rendered
// from the game's own fonts (fontconfig and SDL_ttf, exactly as the game loads them).

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "glyph_atlas.h"
#include "platform/ttf_fonts.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: zorblet-glyph-atlas FILE\n";
        return 2;
    }
    const std::string path = argv[1];
    try {
        zorblet::platform::TtfFontLoader fonts;
        const auto atlas = zorblet::web::EncodeGlyphAtlas(zorblet::web::CollectGameFaces(fonts));
        // Written beside and renamed, so that a build never finds half an atlas.
        const std::string partial = path + ".partial";
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(atlas.data()), static_cast<std::streamsize>(atlas.size()));
        out.close();
        if (!out || std::rename(partial.c_str(), path.c_str()) != 0) {
            std::cerr << "zorblet-glyph-atlas: cannot write " << path << "\n";
            return 1;
        }
    } catch (const std::exception& error) {
        std::cerr << "zorblet-glyph-atlas: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
