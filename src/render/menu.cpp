#include "render/menu.h"

#include "render/text_layout.h"
#include "shared/game_math.h"

namespace zorblet::render {

void DrawMenu(Canvas& canvas, const Fonts& fonts, std::string_view statusText, bool soundOn) {
    canvas.SetFont(fonts.FontBold14);
    canvas.SetColour(StatusColour);
    DrawCentredText(canvas, statusText, 320);

    canvas.SetColour(TextColour);
    canvas.SetFont(fonts.FontBold22);
    DrawCentredText(canvas, "[F1] Hilfe", 350);
    DrawCentredText(canvas, "[F2] Spiel starten", 390);
    DrawCentredText(canvas, soundOn ? "[F3] Ton aus" : "[F3] Ton an", 430);
    DrawCentredText(canvas, "[F4] Pause an/aus", 470);
    DrawCentredText(canvas, "[ESC] Beenden", 510);
}

void DrawCountdownDigit(Canvas& canvas, const Fonts& fonts, std::int32_t digit) {
    canvas.SetFont(fonts.FontBold32);
    DrawCentredText(canvas, DecimalText(digit), 270);
}

}  // namespace zorblet::render
