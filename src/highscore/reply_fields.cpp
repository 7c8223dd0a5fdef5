#include "highscore/reply_fields.h"

#include <algorithm>
#include <limits>

namespace zorblet::highscore {

std::string NextField(std::string& replyText, std::string_view separator) {
    const std::size_t position = replyText.find(separator);
    if (position == std::string::npos) return {};
    std::string field = replyText.substr(0, position);
    replyText.erase(0, position + separator.size());
    return field;
}

ReplyRecord NextRecord(std::string& replyText) {
    ReplyRecord record;
    record.Points = NextField(replyText, FieldEnd);
    record.Name = NextField(replyText, FieldEnd);
    record.Date = NextField(replyText, RecordEnd);
    record.Exists = !(record.Points.empty() && record.Name.empty() && record.Date.empty());
    return record;
}

std::int32_t ParseInteger(std::string_view field) {
    const bool negative = !field.empty() && field.front() == '-';
    if (negative) field.remove_prefix(1);
    // Counted in 64 bits; once the magnitude reaches 2^31 no further digit can bring it back.
    constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (char c : field) {
        if (c < '0' || c > '9') break;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude >= Limit) {
            magnitude = Limit;
            break;
        }
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min(magnitude, Limit - 1));
}

}  // namespace zorblet::highscore
