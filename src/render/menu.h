#pragma once

#include <cstdint>
#include <string_view>

#include "render/canvas.h"

namespace zorblet::render {

// The transfer status line and the five function-key lines under the highscore table.
void DrawMenu(Canvas& canvas, const Fonts& fonts, std::string_view statusText, bool soundOn);

// The get-ready countdown's digit, big in the middle, in the colour already set.
void DrawCountdownDigit(Canvas& canvas, const Fonts& fonts, std::int32_t digit);

}  // namespace zorblet::render
