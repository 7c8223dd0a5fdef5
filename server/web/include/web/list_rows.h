#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/score_board.h"

namespace zorblet::server {

// One row of the list as pages and JSON replies show it, copied out of a view.
struct ListRow {
    std::int64_t place = 0;
    std::int32_t points = 0;
    std::string name;  // UTF-8, printable
    std::string date;  // as stored, "dd.MM.yy"
    // A score that is not on the list, at the place it would take: no name, no date.
    bool provisional = false;
    std::int64_t id = 0;     // the entry's, as the admin tool shows it; 0 for a provisional row
    bool verified = false;   // its game was replayed to its points
    bool watchable = false;  // its record is kept: the page links to its game

    bool operator==(const ListRow&) const = default;
};

// Up to `count` entries from place `first` on.
std::vector<ListRow> ReadRowsFrom(const RankedView& view, std::int64_t first, std::size_t count);

// The rows around the place P a score of `points` would take, as the game's table shows a
// new score before its name is typed: up to `around` entries above P, a provisional row
// at P, then up to `around` entries from P on, each shown one place further down.
std::vector<ListRow> ReadRowsAroundScore(const RankedView& view, std::int32_t points, std::int64_t around);

// The first `limit` entries whose names begin with `prefix` (Windows-1252), in place order,
// and how many there are in all.
struct NameMatches {
    std::int64_t count = 0;
    std::vector<ListRow> rows;
};
NameMatches ReadNameMatches(const RankedView& view, std::string_view prefix, std::size_t limit);

// The entries stored last, newest first.
std::vector<ListRow> ReadNewestRows(const RankedView& view);

}  // namespace zorblet::server
