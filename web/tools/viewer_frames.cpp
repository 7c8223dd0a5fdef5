// zorblet-viewer-frames: the native side of the watch page's checks. It replays a record
// exactly as zorblet --replay does (replay::RecordPlayer, render::DrawReplayFrame, the
// game's own fonts through fontconfig and SDL_ttf), without web/'s playback, so that the
// module's pictures are held against the desktop's own.
//
//   zorblet-viewer-frames [--atlas FILE] RECORD FRAME...
//       the pictures after the given numbers of frames (ascending), 600x600 RGBA each, to
//       stdout; with --atlas, glyphs from a glyph atlas instead of the game's fonts
//   zorblet-viewer-frames --telling RECORD
//       the frames worth comparing, one line each: "frames N" (the record's count), then
//       "frame N NAME GAMEHASH DECORATIONHASH" for the first frame, the first paddle
//       contact, the bumper ring and the gate standing, the last frame in play and the
//       last frame, and for every 1000th frame ("every-1000"); or "refused CODE MESSAGE"
//       for a record these rules do not replay (CODE as the module's zorblet_open_record
//       gives it)

#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "glyph_atlas.h"
#include "platform/ttf_fonts.h"
#include "record/record_format.h"
#include "render/replay_frame.h"
#include "replay/record_player.h"
#include "rgba_picture.h"
#include "world/ball_paddle.h"
#include "world/state_hash.h"

namespace {

using namespace zorblet;

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

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

// The module's numbering of what keeps a record from being replayed.
int RefusalCode(const replay::RecordVerdict& verdict) {
    if (verdict.Decoding != record::DecodeError::None) return static_cast<int>(verdict.Decoding);
    return verdict.Rules == replay::RulesProblem::OtherRules ? 20 : 21;
}

// The first frame at which each telling sight shows, by the frames played up to it: the
// ones the replay test samples in the game itself.
std::map<std::uint32_t, std::string> TellingFrames(const record::GameRecord& game) {
    std::map<std::string, std::uint32_t> first;
    NoTones tones;
    replay::RecordPlayer player(game);
    while (!player.Finished()) {
        player.Step(tones);
        const world::World& w = player.State().World;
        const auto played = static_cast<std::uint32_t>(player.FramesPlayed());
        const auto sight = [&](const char* name, bool shows) {
            if (shows) first.emplace(name, played);
        };
        sight("first", played == 1);
        sight("contact", w.BallTintRed == 200);
        sight("ring", w.RingSize == world::RingLiveSize);
        sight("gate", w.GatePostRadius == world::GateLiveRadius);
        sight("last-in-play", player.State().Play.Lives == 1 && world::BallBelowFloor(w));
    }
    std::map<std::uint32_t, std::string> frames;
    for (const auto& [name, frame] : first) frames[frame] += frames[frame].empty() ? name : "," + name;
    if (!game.Frames.empty()) {
        std::string& last = frames[static_cast<std::uint32_t>(game.Frames.size())];
        last += last.empty() ? "last" : ",last";
    }
    for (std::uint32_t frame = 1000; frame <= game.Frames.size(); frame += 1000) frames.emplace(frame, "every-1000");
    return frames;
}

int PrintTellingFrames(const std::string& path) {
    const replay::RecordVerdict verdict = replay::VerifyRecord(ReadFile(path));
    if (!verdict.Record || verdict.Rules != replay::RulesProblem::None) {
        std::cout << "refused " << RefusalCode(verdict) << "\n";
        return 0;
    }
    const record::GameRecord& game = *verdict.Record;
    std::cout << "frames " << game.Frames.size() << "\n";
    const auto frames = TellingFrames(game);
    NoTones tones;
    replay::RecordPlayer player(game);
    for (const auto& [frame, name] : frames) {
        while (player.FramesPlayed() < frame) player.Step(tones);
        std::printf("frame %" PRIu32 " %s %016" PRIx64 " %016" PRIx64 "\n", frame, name.c_str(),
                    world::GameHash(player.State()), world::DecorationHash(player.State().World));
    }
    return 0;
}

int WritePictures(const std::string& atlasPath, const std::string& path, const std::vector<std::string>& numbers) {
    const render::Fonts fonts = LoadFonts(atlasPath);
    record::DecodeResult decoded = record::DecodeRecord(ReadFile(path));
    if (!decoded.Record) {
        std::cerr << "zorblet-viewer-frames: " << path << ": " << decoded.Message << "\n";
        return 1;
    }
    const record::GameRecord& game = *decoded.Record;
    NoTones tones;
    replay::RecordPlayer player(game);
    render::Canvas canvas;
    std::vector<std::uint8_t> rgba(web::RgbaPictureBytes);
    std::uint32_t previous = 0;
    for (const std::string& number : numbers) {
        std::uint32_t frame = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), frame);
        if (error != std::errc{} || end != number.data() + number.size() || frame < previous) {
            std::cerr << "zorblet-viewer-frames: not a frame number in ascending order: " << number << "\n";
            return 2;
        }
        previous = frame;
        while (player.FramesPlayed() < frame && !player.Finished()) player.Step(tones);
        render::DrawReplayFrame(canvas, fonts, player.State(), player.CountdownDigit());
        web::CopyAsRgba(canvas, rgba.data());
        std::cout.write(reinterpret_cast<const char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

int Usage() {
    std::cerr << "usage: zorblet-viewer-frames [--atlas FILE] RECORD FRAME...\n"
                 "       zorblet-viewer-frames --telling RECORD\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--telling") return PrintTellingFrames(args[1]);
        std::string atlasPath;
        if (args.size() >= 2 && args[0] == "--atlas") {
            atlasPath = args[1];
            args.erase(args.begin(), args.begin() + 2);
        }
        if (args.size() < 2) return Usage();
        return WritePictures(atlasPath, args[0], {args.begin() + 1, args.end()});
    } catch (const std::exception& error) {
        std::cerr << "zorblet-viewer-frames: " << error.what() << "\n";
        return 1;
    }
}
