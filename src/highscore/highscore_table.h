#pragma once
// The highscore table over the menu: the scrolling best-of list, or, while the player
// types a name after a game, the rows around the new place with the name being typed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "highscore/table_view.h"
#include "render/canvas.h"
#include "render/colour.h"
#include "render/font.h"

namespace zorblet::highscore {

// What one frame of the table reads, handed in by the caller as one consistent snapshot.
struct TableInputs {
    const std::vector<std::string>& HighscoreRows;
    std::int32_t ScorePlace = 0;
    float Score = 0;
    bool NameEntryActive = false;
    bool StatusTextEmpty = true;  // false while a transfer runs
    bool StatusLineFree = true;   // false while the status line tells something else
    std::int32_t AnimAngle = 0;
    std::string_view PlayerName;
    std::int32_t EditCursor = 0;
    std::string_view GameDate;
    std::int32_t TableScroll = 0;  // where the best-of rows stand in this frame
};

// A row's colour by its window y: brightest in the middle, fading to black at both edges.
render::Colour FadeColour(std::int32_t y);

// How many best-of rows with text lie inside the table window at this scroll position:
// the rows a best-of frame that left TableScroll at tableScroll has drawn (but for the
// frame that restarts the table, which draws none). Benchmarks read it to be sure the
// table was on screen.
std::int32_t CountBestOfRowsShown(const std::vector<std::string>& highscoreRows, std::int32_t tableScroll);

// One frame of the table's motion, before it is drawn: the place view holds the rows
// around the place; the best-of view scrolls on, and starts again from the bottom once
// no row with text is left in its window. While a transfer runs it stands.
// inputs.TableScroll is not read.
void UpdateHighscoreTable(TableView& view, const TableInputs& inputs);

// The heading, then the place view (Score != 0, a name entry open, no transfer) or the
// best-of view (no transfer) at inputs.TableScroll. While a transfer runs only the
// heading is drawn.
void DrawHighscoreTable(render::Canvas& canvas, const render::Fonts& fonts, const TableInputs& inputs);

}  // namespace zorblet::highscore
