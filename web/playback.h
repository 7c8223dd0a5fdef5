#pragma once
// A recorded game played again frame by frame the way the game plays a frame, without
// its window, keys or highscore list, and drawn the way the game draws it: the world, the
// countdown's digit and the head-up display. The watch page's module and the native
// tools that check it share it, so both play and draw with the same code.

#include <cstdint>
#include <optional>
#include <string_view>

#include "frame/game.h"
#include "platform/random.h"
#include "record/game_record.h"
#include "render/canvas.h"
#include "render/font.h"
#include "world/services.h"

namespace zorblet::web {

class Playback {
public:
    // The fonts are the game's five (render::CreateFonts); the world measures its pop-ups
    // with them, so they must outlive the playback.
    Playback(record::GameRecord record, render::Fonts& fonts);
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    std::uint32_t FrameCount() const { return static_cast<std::uint32_t>(record_.Frames.size()); }
    // How many of the record's frames have been played; the picture shows the last of them.
    std::uint32_t FramesPlayed() const { return played_; }

    // Plays the next frame; false, playing nothing, once every frame has been played.
    bool PlayFrame();
    // Plays on until `frames` frames have been played (at most all), starting again from
    // the record's start when that lies behind.
    void SeekTo(std::uint32_t frames);

    // The picture of the last frame played, with this frame rate in the FPS reading.
    void Draw(render::Canvas& canvas, std::int32_t fpsShown);

private:
    // The world's services in a replay: the record's seeded numbers, no sound, and the
    // pop-ups measured in the game's font.
    class ReplayServices final : public world::Services {
    public:
        ReplayServices(std::uint64_t seed, render::Fonts& fonts);
        std::int32_t RandomUpTo(std::int32_t n) override { return random_.UpTo(n); }
        void StartTone(sound::ToneEffect, std::int32_t) override {}
        std::int32_t PopupHalfWidth(std::string_view text) override;

    private:
        platform::SeededRandom random_;
        render::Fonts& fonts_;
    };

    void Restart();
    void ApplyEffects(frame::Effects effects);

    record::GameRecord record_;
    render::Fonts& fonts_;
    std::optional<ReplayServices> services_;
    frame::Run run_;
    std::int32_t countdownDigit_ = -1;
    std::uint32_t played_ = 0;
};

}  // namespace zorblet::web
