#pragma once

#include <cstdint>
#include <string>

#include "store/score_board.h"

namespace zorblet::server {

// The best-of reply: the number of entries N, then exactly 50 records for ranks 1..50 and
// exactly 5 for ranks N, N-1, ..., N-4; ranks that do not exist give empty records.
// A record is points TAB name TAB date CR LF.
std::string FormatBestOfReply(const RankedView& view);

// The place-list reply: the place P that `points` would take, then the records for ranks
// max(1, P-8) to P+3, empty ones for ranks beyond the last entry.
std::string FormatPlaceListReply(const RankedView& view, std::int32_t points);

}  // namespace zorblet::server
