// zorblet-viewer-frames [--atlas FILE] RECORD FRAME...: plays a record the way the watch
// page's module does, natively, and writes the pictures after the given numbers of frames
// (ascending) to stdout, 600x600 RGBA each, with 121 in the FPS reading. The glyphs come
// from the game's own fonts, or from a glyph atlas. The module's check compares its own
// pictures with these.

#include <charconv>
#include <cstdint>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "glyph_atlas.h"
#include "platform/ttf_fonts.h"
#include "playback.h"
#include "record/record_format.h"
#include "rgba_picture.h"

namespace {

using namespace zorblet;

constexpr std::int32_t FpsShown = 121;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

render::Fonts LoadFonts(const std::string& atlasPath) {
    if (atlasPath.empty()) {
        platform::TtfFontLoader loader;
        return render::CreateFonts(loader);
    }
    auto faces = web::DecodeGlyphAtlas(ReadFile(atlasPath));
    if (!faces) throw std::runtime_error(atlasPath + " is no glyph atlas");
    web::AtlasFontLoader loader(std::move(*faces));
    render::Fonts fonts = render::CreateFonts(loader);
    if (!loader.Missing().empty()) throw std::runtime_error(atlasPath + " lacks " + loader.Missing().front());
    return fonts;
}

int Usage() {
    std::cerr << "usage: zorblet-viewer-frames [--atlas FILE] RECORD FRAME...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string atlasPath;
    if (args.size() >= 2 && args[0] == "--atlas") {
        atlasPath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 2) return Usage();
    try {
        render::Fonts fonts = LoadFonts(atlasPath);
        record::DecodeResult decoded = record::DecodeRecord(ReadFile(args[0]));
        if (!decoded.Record) {
            std::cerr << "zorblet-viewer-frames: " << args[0] << ": " << decoded.Message << "\n";
            return 1;
        }
        web::Playback playback(std::move(*decoded.Record), fonts);
        render::Canvas canvas;
        std::vector<std::uint8_t> rgba(web::RgbaPictureBytes);
        for (std::size_t i = 1; i < args.size(); ++i) {
            std::uint32_t frame = 0;
            const auto [end, error] = std::from_chars(args[i].data(), args[i].data() + args[i].size(), frame);
            if (error != std::errc{} || end != args[i].data() + args[i].size()) {
                std::cerr << "zorblet-viewer-frames: not a frame number: " << args[i] << "\n";
                return 2;
            }
            playback.SeekTo(frame);
            playback.Draw(canvas, FpsShown);
            web::CopyAsRgba(canvas, rgba.data());
            std::cout.write(reinterpret_cast<const char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
        }
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << "zorblet-viewer-frames: " << error.what() << "\n";
        return 1;
    }
}
