#pragma once
// The picture of one frame of a recorded game: the world, the countdown's digit and the
// head-up display, as the game drew them in that frame. The desktop's --replay and a
// browser's viewer draw it alike, so that frame N looks the same in both.

#include <cstdint>

#include "render/canvas.h"
#include "render/font.h"
#include "world/rules.h"

namespace zorblet::render {

// What the FPS reading shows in a replay: the game's own pace. A replay's picture depends
// on the record and the frame alone, not on how fast the machine showing it draws.
inline constexpr std::int32_t ReplayFpsReading = 121;

// The frame's picture from the state its step left and the countdown digit it showed (-1
// for none), with the FPS reading given (a replay's is ReplayFpsReading).
void DrawReplayFrame(Canvas& canvas, const Fonts& fonts, const world::GameState& state, std::int32_t countdownDigit,
                     std::int32_t fpsReading = ReplayFpsReading);

}  // namespace zorblet::render
