#pragma once
// Where the place view puts the rows around the player's place: the six entries above
// it, then, one place lower than the service ranked them, the three it pushes down.

#include <cstdint>
#include <string>
#include <vector>

namespace zorblet::highscore {

// HighscoreRows[Row] drawn behind the rank label Rank, at window y Y (0 < Y < 240).
struct PlaceRowLine {
    std::int32_t Row = 0;
    std::int64_t Rank = 0;
    std::int32_t Y = 0;

    friend bool operator==(const PlaceRowLine&, const PlaceRowLine&) = default;
};

// The place view's TableScroll, 200 x place + 600, saturated to 32 bits.
std::int32_t PlaceViewScroll(std::int32_t scorePlace);

// The rows drawn, top to bottom: of rows max(P-7, 0) .. that + 10, those inside the
// table window and not empty; none for a place below 1, which no list gives. Rows are read only inside 0..10000 (and
// the vector), and labels are counted in 64 bits, so any place the service reports is safe.
std::vector<PlaceRowLine> LayOutPlaceRows(const std::vector<std::string>& highscoreRows, std::int32_t scorePlace);

}  // namespace zorblet::highscore
