#pragma once
// The JSON bodies of the API, UTF-8, written as they are read from a view: an entry is
// {"place": 1, "points": 98765, "name": "...", "date": "2007-05-07"}, the date null when
// the stored one is no calendar day (only a row edited by hand has such a date).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "web/list_rows.h"

namespace zorblet::server {

// {"total": T, "entries": [...]}
std::string FormatScoresJson(std::int64_t total, const std::vector<ListRow>& rows);
// {"points": N, "place": P, "total": T}
std::string FormatPlaceJson(std::int32_t points, std::int64_t place, std::int64_t total);
// {"entries": [...]}
std::string FormatEntriesJson(const std::vector<ListRow>& rows);
// {"error": "..."}
std::string FormatErrorJson(std::string_view message);

}  // namespace zorblet::server
