#include "playback.h"

#include <cmath>
#include <utility>

#include "frame/play.h"
#include "render/colour.h"
#include "render/hud.h"
#include "render/menu.h"
#include "render/world_drawing.h"
#include "world/bumper_ring_gate.h"
#include "world/tick.h"

namespace zorblet::web {

namespace {

// The mouse as the record says the frame read it.
class RecordedMouse final : public platform::Mouse {
public:
    explicit RecordedMouse(const record::FrameInput& input) : input_(input) {}
    platform::MouseReading Read() override { return {input_.DeltaX, input_.DeltaY, input_.LeftButton}; }
    void Release() override {}

private:
    const record::FrameInput& input_;
};

}  // namespace

// Today's game seeds its generator with 32 bits; the record keeps room for more.
Playback::ReplayServices::ReplayServices(std::uint64_t seed, render::Fonts& fonts)
    : random_(static_cast<std::uint32_t>(seed)), fonts_(fonts) {}

std::int32_t Playback::ReplayServices::PopupHalfWidth(std::string_view text) {
    return fonts_.FontBold14.TextWidth(text) / 2;
}

Playback::Playback(record::GameRecord record, render::Fonts& fonts) : record_(std::move(record)), fonts_(fonts) {
    Restart();
}

// The world as the program starts it, before the record's first frame.
void Playback::Restart() {
    services_.emplace(record_.Seed, fonts_);
    run_ = frame::Run{};
    world::StartWorld(run_.World, *services_);
    world::StartExtras(run_.World);
    countdownDigit_ = -1;
    played_ = 0;
}

// What the game's function keys do to the world; the rest (the mouse, the table) has no
// part in a replay.
void Playback::ApplyEffects(frame::Effects effects) {
    if ((effects & frame::ResetWorld) != 0) world::ResetWorldForNewGame(run_.World, *services_);
}

// The game's frame: the function keys in their order (ESC, F4, F2), the world's part of
// the frame, then the countdown.
bool Playback::PlayFrame() {
    if (played_ >= FrameCount()) return false;
    const record::FrameInput& input = record_.Frames[played_];
    if (input.EscapeReleased) ApplyEffects(frame::PressEscape(run_.Mode));
    if (input.F4Released) ApplyEffects(frame::PressPause(run_.Mode));
    if (input.F2Released) ApplyEffects(frame::PressNewGame(run_.Mode));
    RecordedMouse mouse(input);
    // At the game's end the score is made whole, as the game shows and sends it.
    frame::PlayFrame(run_, *services_, mouse, [&] { run_.World.Score = std::nearbyint(run_.World.Score); });
    countdownDigit_ = frame::CountdownShown(run_.Mode) ? frame::CountdownFrame(run_.Mode, *services_) : -1;
    ++played_;
    return true;
}

void Playback::SeekTo(std::uint32_t frames) {
    if (frames < played_) Restart();
    while (played_ < frames && PlayFrame()) {
    }
}

// The game's picture of a frame without the menu, the table and the help page, which a
// replay never shows.
void Playback::Draw(render::Canvas& canvas, std::int32_t fpsShown) {
    canvas.ClearScreen(0, 0, 0);
    canvas.BeginDrawing();
    render::DrawWorld(run_.World, canvas, fonts_);
    canvas.SetColour(render::TextColour);
    if (countdownDigit_ >= 0) render::DrawCountdownDigit(canvas, fonts_, countdownDigit_);
    render::DrawHud(canvas, fonts_, {run_.Mode.Lives, run_.World.Score, fpsShown});
}

}  // namespace zorblet::web
