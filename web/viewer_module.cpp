// The watch page's WebAssembly module: its C functions, called from JavaScript. The page
// hands in the glyph atlas and a record as bytes (in memory it takes with malloc), plays
// or seeks to a frame and reads the picture as RGBA bytes for a 600x600 canvas. Built
// without exceptions: every failure is a return value, and zorblet_error_text() says what
// it was.

#include <emscripten/emscripten.h>

#include <array>
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
#include "sound/tone_effects.h"
#include "world/state_hash.h"

namespace {

using namespace zorblet;

// The tones the frames played by the last zorblet_play started, for the page's sound, as
// int32 numbers: for each tone effect the frames played when it started, its number of
// steps, and each step's frequency in hertz (0 for a pause) and length in milliseconds,
// as the game's tone effects are made (sound::ToneSteps).
class ToneList final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        const std::vector<platform::ToneStep> steps = sound::ToneSteps(effect, argument, crackle_);
        Numbers.insert(Numbers.end(), {Frame, static_cast<std::int32_t>(steps.size())});
        for (const platform::ToneStep& step : steps) Numbers.insert(Numbers.end(), {step.Hz, step.Ms});
    }
    std::int32_t Frame = 0;
    std::vector<std::int32_t> Numbers;

private:
    // The crackle's pitches need not be the game's: they are drawn apart from the world.
    sound::CrackleRandom crackle_;
};

struct Viewer {
    std::optional<render::Fonts> Fonts;
    std::unique_ptr<web::Playback> Playback;
    render::Canvas Canvas;
    std::vector<std::uint8_t> Rgba = std::vector<std::uint8_t>(web::RgbaPictureBytes);
    ToneList Tones;
    std::array<std::uint32_t, 4> Hashes{};
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

// Why zorblet_open_record refused a record, beyond the reader's reasons 1 to 9
// (record::DecodeError): the record reads, but these rules cannot replay it.
enum RecordOutcome : int { RecordOpened = 0, NoAtlasYet = -1, OtherRules = 20, SeedOutOfRange = 21 };

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

// Reads a record from its bytes and stands before its first frame. RecordOpened when
// these rules replay it; otherwise the reader's reason (record::DecodeError, 1 to 9), a
// rules problem (OtherRules, SeedOutOfRange), or NoAtlasYet.
EMSCRIPTEN_KEEPALIVE int zorblet_open_record(const std::uint8_t* bytes, std::size_t size) {
    Viewer& viewer = TheViewer();
    viewer.Playback.reset();
    if (!viewer.Fonts) {
        viewer.Error = "load the glyph atlas first";
        return NoAtlasYet;
    }
    record::DecodeResult decoded = record::DecodeRecord(std::span(bytes, size));
    if (!decoded.Record) {
        viewer.Error = decoded.Message;
        return static_cast<int>(decoded.Error);
    }
    switch (replay::CheckRules(*decoded.Record)) {
        case replay::RulesProblem::None:
            break;
        case replay::RulesProblem::OtherRules:
            viewer.Error = "the record was played by rules version " + std::to_string(decoded.Record->RulesVersion) +
                           ", these are version " + std::to_string(world::RulesVersion);
            return OtherRules;
        case replay::RulesProblem::SeedOutOfRange:
            viewer.Error = "the record's seed " + std::to_string(decoded.Record->Seed) + " is beyond these rules";
            return SeedOutOfRange;
    }
    viewer.Playback = std::make_unique<web::Playback>(std::move(*decoded.Record));
    return RecordOpened;
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

// The score the open record claims; 0 without one.
EMSCRIPTEN_KEEPALIVE std::int32_t zorblet_record_score() {
    const Viewer& viewer = TheViewer();
    return viewer.Playback ? viewer.Playback->Record().Score : 0;
}

// How many frames have been played; the picture shows the last of them.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_frames_played() {
    const Viewer& viewer = TheViewer();
    return viewer.Playback ? viewer.Playback->FramesPlayed() : 0;
}

// Stands after `frames` frames (at most all), silently, from the nearest snapshot kept;
// returns how many frames have been played.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_seek(std::uint32_t frames) {
    Viewer& viewer = TheViewer();
    if (!viewer.Playback) return 0;
    viewer.Playback->SeekTo(frames);
    return viewer.Playback->FramesPlayed();
}

// Plays up to `frames` more frames, as the game played them, collecting the tones they
// start (zorblet_tone_numbers); returns how many frames have been played.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_play(std::uint32_t frames) {
    Viewer& viewer = TheViewer();
    viewer.Tones.Numbers.clear();
    if (!viewer.Playback) return 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        viewer.Tones.Frame = static_cast<std::int32_t>(viewer.Playback->FramesPlayed()) + 1;
        if (!viewer.Playback->PlayFrame(viewer.Tones)) break;
    }
    return viewer.Playback->FramesPlayed();
}

// The tones the frames of the last zorblet_play started: zorblet_tone_words() int32
// numbers from zorblet_tone_numbers(), laid out as ToneList says.
EMSCRIPTEN_KEEPALIVE std::uint32_t zorblet_tone_words() {
    return static_cast<std::uint32_t>(TheViewer().Tones.Numbers.size());
}

EMSCRIPTEN_KEEPALIVE const std::int32_t* zorblet_tone_numbers() {
    return TheViewer().Tones.Numbers.data();
}

// The state's hashes after the last frame played (world::GameHash, world::DecorationHash),
// each as two 32-bit halves, the low one first: four numbers, for checks that compare
// states with the game's and not only pictures.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* zorblet_state_hashes() {
    Viewer& viewer = TheViewer();
    viewer.Hashes = {};
    if (!viewer.Playback) return viewer.Hashes.data();
    const world::GameState& state = viewer.Playback->Player().State();
    const std::uint64_t game = world::GameHash(state), decoration = world::DecorationHash(state.World);
    viewer.Hashes = {static_cast<std::uint32_t>(game), static_cast<std::uint32_t>(game >> 32),
                     static_cast<std::uint32_t>(decoration), static_cast<std::uint32_t>(decoration >> 32)};
    return viewer.Hashes.data();
}

// The picture of the last frame played, 600x600 RGBA, as zorblet --replay draws it; null
// without a record. The bytes stay until the next call; JavaScript reads them through
// the module's memory as it is after the call, since memory may grow.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zorblet_draw() {
    Viewer& viewer = TheViewer();
    if (!viewer.Playback) return nullptr;
    viewer.Playback->Draw(viewer.Canvas, *viewer.Fonts);
    web::CopyAsRgba(viewer.Canvas, viewer.Rgba.data());
    return viewer.Rgba.data();
}

}  // extern "C"
