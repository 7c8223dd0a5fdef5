#pragma once

#include "render/canvas.h"

namespace zorblet::render {

// The help text, in the colour already set.
void DrawHelpPage(Canvas& canvas, const Fonts& fonts);

}  // namespace zorblet::render
