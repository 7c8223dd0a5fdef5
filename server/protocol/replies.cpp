#include "protocol/replies.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace zorblet::server {

namespace {

constexpr std::int64_t PlaceListRanksAbove = 8;
constexpr std::int64_t PlaceListRanksBelow = 3;
constexpr std::string_view LineEnd = "\r\n";
constexpr std::string_view EmptyRecord = "\t\t\r\n";

// Stored names are checked on the way in, but a row edited by hand must still not break
// a reply's TAB and CR LF structure.
void AppendField(std::string& reply, std::string_view field) {
    for (char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        reply += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
}

void AppendRecord(std::string& reply, const RankedEntry& entry) {
    reply += std::to_string(entry.points);
    reply += '\t';
    AppendField(reply, entry.name);
    reply += '\t';
    AppendField(reply, entry.date);
    reply += LineEnd;
}

void AppendEmptyRecords(std::string& reply, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) reply += EmptyRecord;
}

void AppendNumberLine(std::string& reply, std::int64_t number) {
    reply += std::to_string(number);
    reply += LineEnd;
}

// Records for ranks first..last in rank order; `first` must be at least 1.
void AppendRankRange(std::string& reply, const RankedView& view, std::int64_t first, std::int64_t last) {
    std::int64_t written = 0;
    view.VisitRanks(first, last, [&](const RankedEntry& entry) {
        AppendRecord(reply, entry);
        ++written;
    });
    AppendEmptyRecords(reply, last - first + 1 - written);
}

// Records for ranks N, N-1, ..., down to N-count+1: the last place first.
void AppendLastRanks(std::string& reply, const RankedView& view, std::int64_t count) {
    const std::int64_t total = view.CountEntries();
    std::vector<std::string> records;
    view.VisitRanks(total - count + 1, total,
                    [&](const RankedEntry& entry) { AppendRecord(records.emplace_back(), entry); });
    std::for_each(records.rbegin(), records.rend(), [&](const std::string& record) { reply += record; });
    AppendEmptyRecords(reply, count - static_cast<std::int64_t>(records.size()));
}

}  // namespace

std::string FormatBestOfReply(const RankedView& view) {
    std::string reply;
    reply.reserve(4096);
    AppendNumberLine(reply, view.CountEntries());
    AppendRankRange(reply, view, 1, BestOfTopRanks);
    AppendLastRanks(reply, view, BestOfBottomRanks);
    return reply;
}

std::string FormatPlaceListReply(const RankedView& view, std::int32_t points) {
    const std::int64_t place = view.FindPlace(points);
    std::string reply;
    reply.reserve(1024);
    AppendNumberLine(reply, place);
    AppendRankRange(reply, view, std::max<std::int64_t>(1, place - PlaceListRanksAbove), place + PlaceListRanksBelow);
    return reply;
}

}  // namespace zorblet::server
