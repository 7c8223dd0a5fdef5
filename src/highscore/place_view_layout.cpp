#include "highscore/place_view_layout.h"

#include <algorithm>
#include <limits>

#include "highscore/highscore_rows.h"

namespace zorblet::highscore {

namespace {

constexpr std::int64_t ExactPlaceScroll(std::int64_t place) {
    return 200 * place + 600;
}

bool IsShownRow(const std::vector<std::string>& highscoreRows, std::int64_t index) {
    return IsRowIndex(index) && index < std::ssize(highscoreRows) && !highscoreRows[index].empty();
}

}  // namespace

std::int32_t PlaceViewScroll(std::int32_t scorePlace) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ExactPlaceScroll(scorePlace),
                                                              std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::vector<PlaceRowLine> LayOutPlaceRows(const std::vector<std::string>& highscoreRows, std::int32_t scorePlace) {
    const std::int64_t place = scorePlace;
    // Below 1 the place is unknown (no list came): no entries stand around it.
    if (place < 1) return {};
    // The exact scroll, not the saturated one, so rows stand where the place puts them.
    const std::int64_t scroll = ExactPlaceScroll(place);
    const std::int64_t first = std::max<std::int64_t>(place - 7, 0);
    std::int64_t shift = 0;
    std::vector<PlaceRowLine> lines;
    for (std::int64_t index = first; index <= first + 10; ++index) {
        // From the row the player's score overtakes on, entries move one place down.
        if (index == place - 1) shift = 1;
        const std::int64_t y = 20 * index - scroll / 10 + 20 * shift + 240;
        if (y <= 0 || y >= 240 || !IsShownRow(highscoreRows, index)) continue;
        lines.push_back({static_cast<std::int32_t>(index), index + shift + 1, static_cast<std::int32_t>(y)});
    }
    return lines;
}

}  // namespace zorblet::highscore
