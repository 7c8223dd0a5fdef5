#pragma once

#include <string_view>

#include "render/canvas.h"

namespace zorblet::render {

// Draws the text centred on the screen's middle column, in the current font and colour.
inline void DrawCentredText(Canvas& canvas, std::string_view text, int y) {
    canvas.SetTextPosition(Canvas::Width / 2 - (canvas.TextWidth(text) >> 1), y);
    canvas.DrawText(text);
}

// Draws the text so that its last column is the one just left of rightEdge.
inline void DrawRightAlignedText(Canvas& canvas, std::string_view text, int rightEdge, int y) {
    canvas.SetTextPosition(rightEdge - canvas.TextWidth(text), y);
    canvas.DrawText(text);
}

}  // namespace zorblet::render
