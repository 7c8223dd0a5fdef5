#include "highscore/place_list_reply.h"

#include <algorithm>
#include <utility>

#include "highscore/reply_fields.h"
#include "highscore/row_format.h"

namespace zorblet::highscore {

namespace {

// Empty for a rank without an entry, so the place view leaves it out.
std::string NextPlaceRow(std::string& replyText) {
    const ReplyRecord record = NextRecord(replyText);
    return record.Exists ? FormatPlaceRow(record.Points, record.Name, record.Date) : std::string();
}

}  // namespace

PlaceListUpdate ParsePlaceList(std::string& replyText) {
    PlaceListUpdate update;
    update.ScorePlace = ParseInteger(NextField(replyText, RecordEnd));
    const std::int64_t place = update.ScorePlace;
    const std::int64_t first = std::max<std::int64_t>(place - 9, 0);
    const std::int64_t last = place + 2;  // so never more than 12 records
    for (std::int64_t index = first; index <= last; ++index) {
        std::string row = NextPlaceRow(replyText);
        if (!IsRowIndex(index)) continue;
        if (update.Rows.Rows.empty()) update.Rows.FirstRow = static_cast<std::int32_t>(index);
        update.Rows.Rows.push_back(std::move(row));
    }
    return update;
}

}  // namespace zorblet::highscore
