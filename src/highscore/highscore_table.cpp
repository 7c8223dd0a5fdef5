#include "highscore/highscore_table.h"

#include <algorithm>
#include <limits>

#include "highscore/best_of_reply.h"
#include "highscore/place_view_layout.h"
#include "highscore/row_format.h"
#include "highscore/table_view.h"
#include "render/text_layout.h"
#include "shared/game_math.h"

namespace zorblet::highscore {

namespace {

using render::Canvas;

constexpr std::string_view Heading = " Pl.  Punkte  Spieler Name              Datum";
constexpr std::string_view NamePrompt = "Bitte Namen eintragen oder ESC f\xFCr Abbruch";

// Rows show only inside the window 0 < y < 240, drawn 50 pixels lower on the screen.
constexpr int TableLeft = 30;
constexpr int TableTop = 50;
constexpr int TableHeight = 240;
constexpr int PlayerRowY = 210;

bool InTableWindow(std::int64_t y) {
    return y > 0 && y < TableHeight;
}

// The best-of rows climb from the bottom of the window, 20 pixels apart.
std::int64_t BestOfRowY(std::int64_t index, std::int64_t scroll) {
    return 20 * index - scroll / 10 + TableHeight;
}

// Rows 0..58, or fewer of a shorter table.
std::int64_t BestOfRowsRead(const std::vector<std::string>& highscoreRows) {
    return std::min<std::int64_t>(BestOfRowCount, std::ssize(highscoreRows));
}

void DrawRow(Canvas& canvas, std::string_view text, std::int32_t y) {
    canvas.SetColour(FadeColour(y));
    canvas.SetTextPosition(TableLeft, y + TableTop);
    canvas.DrawText(text);
}

render::Colour PlayerRowColour(std::int32_t animAngle) {
    const float s = SinDeg(static_cast<float>(animAngle));
    return render::RGB(230 + RoundToInt(25 * s), 180 + RoundToInt(50 * s), 130 - RoundToInt(50 * s));
}

// Without a known place (no list came) the place column stays blank.
std::string PlayerRow(const TableInputs& inputs) {
    const std::string place = inputs.ScorePlace >= 1 ? DecimalText(inputs.ScorePlace) : std::string();
    return PadLeft(place, 4) + "  " + PadLeft(DecimalText(RoundToInt(inputs.Score)), 6) + "  " +
           PadRight(inputs.PlayerName, 26) + std::string(inputs.GameDate);
}

void DrawCursor(Canvas& canvas, const TableInputs& inputs) {
    // Blinks five times as fast as the row pulses; 64 bits so the angle cannot overflow.
    if (SinDeg(static_cast<float>(5 * std::int64_t{inputs.AnimAngle})) <= 0) return;
    const auto typed =
        static_cast<std::size_t>(std::clamp<std::int32_t>(inputs.EditCursor, 0, std::ssize(inputs.PlayerName)));
    const std::string beforeCursor = std::string(14, ' ') + std::string(inputs.PlayerName.substr(0, typed));
    canvas.SetTextPosition(25 + canvas.TextWidth(beforeCursor), PlayerRowY);
    canvas.DrawText("|");
}

bool PlaceViewShown(const TableInputs& inputs) {
    return inputs.Score != 0 && inputs.NameEntryActive;
}

void DrawPlaceView(Canvas& canvas, const TableInputs& inputs) {
    for (const PlaceRowLine& line : LayOutPlaceRows(inputs.HighscoreRows, inputs.ScorePlace)) {
        DrawRow(canvas, PadLeft(DecimalText(line.Rank), 4) + "  " + inputs.HighscoreRows[line.Row], line.Y);
    }
    canvas.SetColour(PlayerRowColour(inputs.AnimAngle));
    canvas.SetTextPosition(TableLeft, PlayerRowY);
    canvas.DrawText(PlayerRow(inputs));
    DrawCursor(canvas, inputs);
    if (inputs.StatusLineFree) render::DrawCentredText(canvas, NamePrompt, 320);
}

void DrawBestOfView(Canvas& canvas, const TableInputs& inputs) {
    const std::int64_t rowCount = BestOfRowsRead(inputs.HighscoreRows);
    for (std::int64_t index = 0; index < rowCount; ++index) {
        const std::int64_t y = BestOfRowY(index, inputs.TableScroll);
        if (InTableWindow(y)) DrawRow(canvas, inputs.HighscoreRows[index], static_cast<std::int32_t>(y));
    }
}

void ScrollBestOfView(TableView& view, const TableInputs& inputs) {
    constexpr std::int32_t MaxScroll = std::numeric_limits<std::int32_t>::max();
    view.TableScroll = view.TableScroll > MaxScroll - 2 ? MaxScroll : view.TableScroll + 2;
    view.DrawnScroll = view.TableScroll;
    // Past the last row, or nothing fetched yet: start again from the bottom.
    if (CountBestOfRowsShown(inputs.HighscoreRows, view.TableScroll) == 0) view.TableScroll = TableScrollRestart;
}

}  // namespace

std::int32_t CountBestOfRowsShown(const std::vector<std::string>& highscoreRows, std::int32_t tableScroll) {
    std::int32_t shown = 0;
    for (std::int64_t index = 0; index < BestOfRowsRead(highscoreRows); ++index) {
        if (InTableWindow(BestOfRowY(index, tableScroll)) && !highscoreRows[index].empty()) ++shown;
    }
    return shown;
}

render::Colour FadeColour(std::int32_t y) {
    const float f = SinDeg(static_cast<float>(y) / TableHeight * 180.0f);
    return render::RGB(RoundToInt(155 * f), RoundToInt(55 * f), RoundToInt(255 * f));
}

void UpdateHighscoreTable(TableView& view, const TableInputs& inputs) {
    if (!inputs.StatusTextEmpty) return;
    if (PlaceViewShown(inputs)) {
        view.TableScroll = PlaceViewScroll(inputs.ScorePlace);
    } else {
        ScrollBestOfView(view, inputs);
    }
}

void DrawHighscoreTable(Canvas& canvas, const render::Fonts& fonts, const TableInputs& inputs) {
    canvas.SetFont(fonts.FontBold14);
    canvas.SetColour(render::TextColour);
    canvas.SetTextPosition(TableLeft, 30);
    canvas.DrawText(Heading);
    canvas.SetFont(fonts.FontNormal14);
    // A running transfer may be replacing the rows: the status line says so instead.
    if (!inputs.StatusTextEmpty) return;
    if (PlaceViewShown(inputs)) {
        DrawPlaceView(canvas, inputs);
    } else {
        DrawBestOfView(canvas, inputs);
    }
}

}  // namespace zorblet::highscore
