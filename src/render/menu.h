#pragma once

#include <string_view>

#include "render/canvas.h"

namespace zorblet::render {

// The transfer status line and the five function-key lines under the highscore table.
void DrawMenu(Canvas& canvas, Fonts& fonts, std::string_view statusText, bool soundOn);

}  // namespace zorblet::render
