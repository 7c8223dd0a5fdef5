#include "render/help_page.h"

namespace zorblet::render {

namespace {

struct HelpLine {
    int Y;
    const char* Text;  // Windows-1252
};

constexpr HelpLine HelpLines[] = {
    {50, "Zorblet - Hilfe"},
    {100, "Gespielt wird komplett mit der Maus"},
    {130, "(abgerundetes Dreieck) mit welcher"},
    {160, "der Spielball (leerer Kreis) oben"},
    {190, "gehalten werden muss."},
    {230,
     "Je mehr Weg der Ball zur\xFC"
     "cklegt,"},
    {260, "desto so mehr Punkte gibt es."},
    {290, "Mit der linken Maustaste kann geschossen"},
    {320, "werden (1 Schuss kostet 10 Punkte)."},
    {360,
     "Schie\xDF"
     "t man einen gelben Kreis ab oder"},
    {390,
     "ber\xFC"
     "hrt/durchfliegt der Ball ein Extraobjekt,"},
    {420, "gibt es extra Punkte."},
};

}  // namespace

void DrawHelpPage(Canvas& canvas, const Fonts& fonts) {
    canvas.SetFont(fonts.FontBold14);
    for (const auto& line : HelpLines) {
        canvas.SetTextPosition(50, line.Y);
        canvas.DrawText(line.Text);
    }
}

}  // namespace zorblet::render
