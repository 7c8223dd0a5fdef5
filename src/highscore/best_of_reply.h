#pragma once
// The best-of reply: N, the number of entries, on its own line, then records
// (points TAB name TAB date CR LF) for ranks 1..50 and then N, N-1, .., N-4.

#include <cstdint>
#include <string>
#include <string_view>

#include "highscore/highscore_rows.h"

namespace zorblet::highscore {

// Rows 52 and 53, between the top fifty and the last five.
inline constexpr std::string_view BestOfGapRow = " ...     ...  ...                       ...";
inline constexpr std::int32_t BestOfRowCount = 59;

struct BestOfUpdate {
    std::int32_t EntryCount = 0;  // N
    RowsUpdate Rows;              // rows 0..58
};

// Row 0 the count line, row 1 blank, rows 2..51 ranks 1..50, rows 52 and 53 the gap,
// rows 58 down to 54 ranks N..N-4. Consumes what it reads from replyText. A rank's row
// is empty unless the reply held an entry for it, and of the last five only ranks past
// 50 are shown (a shorter list is all in the top fifty); the gap only stands before
// them. So an empty reply gives N = 0 and no rows of entries.
BestOfUpdate ParseBestOf(std::string& replyText);

}  // namespace zorblet::highscore
