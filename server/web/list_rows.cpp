#include "web/list_rows.h"

#include <algorithm>

#include "web/web_text.h"

namespace zorblet::server {

namespace {

ListRow ToListRow(std::int64_t place, const RankedEntry& entry) {
    return {place, entry.points, NameToUtf8(entry.name), std::string(entry.date), false, entry.id};
}

// A visitor that copies every entry it is shown into `rows`, up to `count` of them.
RankedView::PlaceVisitor CollectInto(std::vector<ListRow>& rows, std::size_t count) {
    return [&rows, count](std::int64_t place, const RankedEntry& entry) {
        if (rows.size() >= count) return false;
        rows.push_back(ToListRow(place, entry));
        return rows.size() < count;
    };
}

}  // namespace

std::vector<ListRow> ReadRowsFrom(const RankedView& view, std::int64_t first, std::size_t count) {
    std::vector<ListRow> rows;
    rows.reserve(std::min<std::size_t>(count, 1024));
    if (count > 0) view.VisitFrom(first, CollectInto(rows, count));
    return rows;
}

std::vector<ListRow> ReadRowsAroundScore(const RankedView& view, std::int32_t points, std::int64_t around) {
    const std::int64_t place = view.FindPlace(points);
    const std::int64_t first = std::max<std::int64_t>(1, place - around);
    std::vector<ListRow> rows = ReadRowsFrom(view, first, static_cast<std::size_t>(place - first));
    rows.push_back({place, points, {}, {}, true});
    for (ListRow& row : ReadRowsFrom(view, place, static_cast<std::size_t>(around))) {
        ++row.place;
        rows.push_back(std::move(row));
    }
    return rows;
}

NameMatches ReadNameMatches(const RankedView& view, std::string_view prefix, std::size_t limit) {
    NameMatches matches;
    matches.count = view.VisitNamesStartingWith(prefix, limit, CollectInto(matches.rows, limit));
    return matches;
}

std::vector<ListRow> ReadNewestRows(const RankedView& view) {
    std::vector<ListRow> rows;
    view.VisitNewest(CollectInto(rows, NewestEntriesKept));
    return rows;
}

}  // namespace zorblet::server
