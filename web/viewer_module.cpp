// The watch page's WebAssembly module: its C functions, called from JavaScript. The page
// hands in the glyph atlas and a record as bytes (in memory it takes with malloc), seeks to
// a frame and reads the picture as RGBA bytes for a 600x600 canvas. Built without
// exceptions: every failure is a return value, and zorblet_error_text() says what it was.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "glyph_atlas.h"
#include "playback.h"
#include "record/record_format.h"
#include "rgba_picture.h"

namespace {

using namespace zorblet;

struct Viewer {
    std::optional<render::Fonts> Fonts;
    std::unique_ptr<web::Playback> Playback;
    render::Canvas Canvas;
    std::vector<std::uint8_t> Rgba = std::vector<std::uint8_t>(web::RgbaPictureBytes);
    std::string Error;
};

Viewer& TheViewer() {
    static Viewer viewer;
    return viewer;
}

}  // namespace

extern "C" {

// What zorblet_load_atlas answers.
enum AtlasOutcome : int { AtlasLoaded = 0, NotAnAtlas = 1, FaceMissing = 2 };

// Takes the game's five faces from the atlas's bytes; the record must come after it.
EMSCRIPTEN_KEEPALIVE int zorblet_load_atlas(const std::uint8_t* bytes, std::size_t size) {
    Viewer& viewer = TheViewer();
    viewer.Playback.reset();
    viewer.Fonts.reset();
    auto faces = web::DecodeGlyphAtlas(std::span(bytes, size));
    if (!faces) {
        viewer.Error = "the glyph atlas is damaged or of another layout";
        return NotAnAtlas;
    }
    web::AtlasFontLoader loader(std::move(*faces));
    render::Fonts fonts = render::CreateFonts(loader);
    if (!loader.Missing().empty()) {
        viewer.Error = "the glyph atlas lacks the face " + loader.Missing().front();
        return FaceMissing;
    }
    viewer.Fonts.emplace(std::move(fonts));
    return AtlasLoaded;
}

// Reads a record from its bytes and stands at its start. 0 when it is one; otherwise the
// reader's reason (record::DecodeError), or -1 when no atlas has been loaded.
EMSCRIPTEN_KEEPALIVE int zorblet_open_record(const std::uint8_t* bytes, std::size_t size) {
    Viewer& viewer = TheViewer();
    viewer.Playback.reset();
    if (!viewer.Fonts) {
        viewer.Error = "load the glyph atlas first";
        return -1;
    }
    record::DecodeResult decoded = record::DecodeRecord(std::span(bytes, size));
    if (!decoded.Record) {
        viewer.Error = decoded.Message;
        return static_cast<int>(decoded.Error);
    }
    viewer.Playback = std::make_unique<web::Playback>(std::move(*decoded.Record), *viewer.Fonts);
    return 0;
}

// The English sentence of the last failure.
EMSCRIPTEN_KEEPALIVE const char* zorblet_error_text() {
    return TheViewer().Error.c_str();
}

// The open record's frame count; 0 without one.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_frame_count() {
    const Viewer& viewer = TheViewer();
    return viewer.Playback ? viewer.Playback->FrameCount() : 0;
}

// Plays the record up to `frames` frames (back from its start when that lies behind) and
// returns how many have been played.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_seek(std::uint32_t frames) {
    Viewer& viewer = TheViewer();
    if (!viewer.Playback) return 0;
    viewer.Playback->SeekTo(frames);
    return viewer.Playback->FramesPlayed();
}

// The picture of the last frame played, 600x600 RGBA, with this frame rate in the FPS
// reading; null without a record. The bytes stay until the next call; JavaScript reads
// them through the module's memory as it is after the call, since memory may grow.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zorblet_draw(std::int32_t fpsShown) {
    Viewer& viewer = TheViewer();
    if (!viewer.Playback) return nullptr;
    viewer.Playback->Draw(viewer.Canvas, fpsShown);
    web::CopyAsRgba(viewer.Canvas, viewer.Rgba.data());
    return viewer.Rgba.data();
}

}  // extern "C"
