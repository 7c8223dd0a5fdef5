#pragma once

#include <cstdint>

namespace zorblet::highscore {

// Scroll state of the highscore table on the menu screen.
struct TableView {
    // Scroll position in tenths of a pixel; 10 restarts the best-of table from the bottom.
    std::int32_t TableScroll = 0;
    // Where this frame draws the best-of rows: the scroll before a restart took it back.
    std::int32_t DrawnScroll = 0;
};

inline constexpr std::int32_t TableScrollRestart = 10;

}  // namespace zorblet::highscore
