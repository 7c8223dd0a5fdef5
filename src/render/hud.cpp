#include "render/hud.h"

#include <string>

#include "render/text_layout.h"
#include "shared/game_math.h"

namespace zorblet::render {

namespace {

constexpr const char* CreditLine = "Zorblet 1.00 - ein Spiel f\xFCr Linux";

}  // namespace

void DrawHud(Canvas& canvas, const Fonts& fonts, const HudValues& values) {
    canvas.SetFont(fonts.FontBold14);
    const std::string scoreText = "Punkte: " + DecimalText(RoundToInt(values.Score));
    const std::string livesText = "Leben: " + DecimalText(values.Lives);
    canvas.SetColour(TextColour);
    DrawRightAlignedText(canvas, scoreText, 580, 570);
    DrawRightAlignedText(canvas, livesText, 380, 570);

    canvas.SetFont(fonts.FontBold8);
    canvas.SetTextPosition(5, 5);
    canvas.DrawText(DecimalText(values.Fps) + " FPS");
    canvas.SetTextPosition(10, 580);
    canvas.DrawText(CreditLine);
}

}  // namespace zorblet::render
