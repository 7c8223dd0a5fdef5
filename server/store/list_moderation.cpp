#include "store/list_moderation.h"

#include <algorithm>
#include <ctime>

namespace zorblet::server {

namespace {

constexpr std::int64_t Hour = 3600;
constexpr std::int64_t Day = 86400;
// How far before the day's start the walk back through the newest entries goes on, so
// that a clock set back a little does not cut the count short.
constexpr std::int64_t ClockSlack = Hour;

// The entries of `ids` once each, in ascending order.
std::vector<std::int64_t> SortDistinctIds(std::span<const std::int64_t> ids) {
    std::vector<std::int64_t> distinct(ids.begin(), ids.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    return distinct;
}

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

ModerationOutcome ListModeration::RemoveEntries(std::span<const std::int64_t> ids, std::string_view reason) {
    return Moderate({SortDistinctIds(ids), true, reason, Now()});
}

ModerationOutcome ListModeration::RestoreEntries(std::span<const std::int64_t> ids) {
    return Moderate({SortDistinctIds(ids), false, {}, Now()});
}

std::string JoinIds(std::span<const std::int64_t> ids, std::string_view separator) {
    std::string joined;
    for (std::int64_t id : ids) {
        if (!joined.empty()) joined += separator;
        joined += std::to_string(id);
    }
    return joined;
}

bool CountRecentlyStored(BoardFigures& figures, std::int64_t now, std::int64_t stored_at) {
    if (stored_at < now - Day - ClockSlack) return false;
    if (stored_at > now - Day) ++figures.stored_last_day;
    if (stored_at > now - Hour) ++figures.stored_last_hour;
    return true;
}

}  // namespace zorblet::server
