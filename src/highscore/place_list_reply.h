#pragma once
// The place-list reply: P, the place the asked-for points would take, on its own line,
// then records (points TAB name TAB date CR LF) in rank order from rank max(1, P-8).

#include <cstdint>
#include <string>

#include "highscore/highscore_rows.h"

namespace zorblet::highscore {

struct PlaceListUpdate {
    std::int32_t ScorePlace = 0;  // P
    RowsUpdate Rows;
};

// Row i holds the entry ranked i + 1, for i from max(0, P-9) to P+2: one record is
// consumed per such i, in order. Whatever P the service reports, only the rows with an
// index inside 0..10000 are kept; records for the others are read past, so the stored
// ones stay the records they would have been. A rank the reply holds no entry for gets
// an empty row. No arithmetic on P overflows.
PlaceListUpdate ParsePlaceList(std::string& replyText);

}  // namespace zorblet::highscore
