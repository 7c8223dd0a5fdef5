#include "store/list_moderation.h"

#include <algorithm>

namespace zorblet::server {

namespace {

constexpr std::int64_t Hour = 3600;
constexpr std::int64_t Day = 86400;
// How far before the day's start the walk back through the newest entries goes on, so
// that a clock set back a little does not cut the count short.
constexpr std::int64_t ClockSlack = Hour;

}  // namespace

std::vector<std::int64_t> SortDistinctIds(std::span<const std::int64_t> ids) {
    std::vector<std::int64_t> distinct(ids.begin(), ids.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    return distinct;
}

bool CountRecentlyStored(BoardFigures& figures, std::int64_t now, std::int64_t stored_at) {
    if (stored_at < now - Day - ClockSlack) return false;
    if (stored_at > now - Day) ++figures.stored_last_day;
    if (stored_at > now - Hour) ++figures.stored_last_hour;
    return true;
}

}  // namespace zorblet::server
