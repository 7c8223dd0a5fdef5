#pragma once

#include <cstdint>

#include "render/canvas.h"

namespace zorblet::render {

// What the head-up display shows.
struct HudValues {
    std::int32_t Lives = 0;
    float Score = 0.0f;
    std::int32_t Fps = 0;
};

// Score and lives at the bottom right, the FPS reading at the top left, the credit line.
void DrawHud(Canvas& canvas, const Fonts& fonts, const HudValues& values);

}  // namespace zorblet::render
