#include "store/redis/redis_ranked_view.h"

#include <hiredis/hiredis.h>

#include <algorithm>
#include <limits>

#include "store/name_key.h"
#include "store/redis/redis_score_board.h"

namespace zorblet::server {

namespace {

// What the view fetches beside what it is asked: the best-of reply's rows (BestOfTopRanks
// and BestOfBottomRanks), and the rows around a place that the place list and the page show.
constexpr std::int64_t RanksAroundPlace = 10;
// Rows fetched at a time while visiting on, growing up to the largest.
constexpr std::int64_t FirstChunk = 100;
constexpr std::int64_t LargestChunk = 2000;

[[noreturn]] void ThrowMalformed() {
    throw StorageError("unexpected reply from Redis: an entry that cannot be read");
}

redis::StoredEntry DecodeRecord(const redisReply& record) {
    const std::optional<redis::StoredEntry> entry = redis::DecodeEntry(TextOf(record));
    if (!entry) ThrowMalformed();
    return *entry;
}

redis::MemberKey DecodeMember(const redisReply& member) {
    const std::optional<redis::MemberKey> key = redis::ParseRankMember(TextOf(member));
    if (!key) ThrowMalformed();
    return *key;
}

// The ZRANGE ... BYLEX bound just past the entries with at least `points`: the first 8
// characters of the members of `points - 1`; none come after the lowest points.
std::string BoundBelow(std::int32_t points) {
    if (points == std::numeric_limits<std::int32_t>::min()) return "+";
    return "(" + redis::RankMember(points - 1, 0).substr(0, 8);
}

}  // namespace

struct RedisRankedView::Answer {
    RedisReply reply;
    const redisReply& Result(std::size_t index) const { return ArrayElement(*reply, 2 + index); }
};

RedisRankedView::Answer RedisRankedView::Keep(RedisReply reply) const {
    Answer answer{std::move(reply)};
    if (!count_) {
        const redisReply& version = ArrayElement(*answer.reply, 1);
        count_ = IntegerOf(ArrayElement(*answer.reply, 0));
        version_ = IsNil(version) ? 0 : static_cast<std::uint64_t>(IntegerOf(version));
    }
    return answer;
}

RedisRankedView::Answer RedisRankedView::Ask(std::vector<std::string> operations) const {
    return Keep(board_.Read(operations));
}

RedisRankedView::Answer RedisRankedView::AskAtOnce(const std::vector<std::vector<std::string>>& reads) const {
    return Keep(board_.ReadAtOnce(reads));
}

void RedisRankedView::KeepRows(const redisReply& members, std::int64_t first, std::int64_t step) const {
    std::int64_t rank = first;
    for (std::size_t i = 0; i < ArraySize(members); ++i, rank += step) {
        std::optional<redis::ListedEntry> listed = redis::ParseListedMember(TextOf(ArrayElement(members, i)));
        if (!listed) ThrowMalformed();
        redis::StoredEntry& entry = listed->entry;
        ranks_[rank] = Row{listed->key.id, entry.points, std::move(entry.name), std::move(entry.date), entry.stored_at};
    }
}

void RedisRankedView::VisitPlaced(const redisReply& triples, std::size_t from, const PlaceVisitor& visit) {
    const std::size_t size = ArraySize(triples);
    if (size < from || (size - from) % 3 != 0) ThrowMalformed();
    for (std::size_t i = from; i < size; i += 3) {
        const std::int64_t place = IntegerOf(ArrayElement(triples, i));
        const redis::MemberKey key = DecodeMember(ArrayElement(triples, i + 1));
        const redis::StoredEntry entry = DecodeRecord(ArrayElement(triples, i + 2));
        if (!visit(place, {key.id, key.points, entry.name, entry.date, entry.stored_at})) return;
    }
}

void RedisRankedView::LoadHead() const {
    const std::string& ranks = board_.keys().ranks;
    const Answer answer = AskAtOnce({{"ZRANGE", ranks, "0", std::to_string(BestOfTopRanks - 1)},
                                     {"ZRANGE", ranks, std::to_string(-BestOfBottomRanks), "-1"}});
    const auto tail = static_cast<std::int64_t>(ArraySize(answer.Result(1)));
    if (tail > *count_) ThrowMalformed();
    KeepRows(answer.Result(0), 1);
    KeepRows(answer.Result(1), *count_ - tail + 1);
}

void RedisRankedView::LoadRanks(std::int64_t first, std::int64_t last) const {
    const Answer answer = AskAtOnce({{"ZRANGE", board_.keys().ranks, std::to_string(first - 1), std::to_string(last - 1)}});
    KeepRows(answer.Result(0), first);
}

std::int64_t RedisRankedView::CountEntries() const {
    if (!count_) LoadHead();
    return *count_;
}

std::uint64_t RedisRankedView::Version() const {
    if (!count_) LoadHead();
    return version_;
}

// The place and the rows before and after it, as of one moment.
std::int64_t RedisRankedView::FindPlace(std::int32_t points) const {
    if (const auto known = places_.find(points); known != places_.end()) return known->second;
    const std::string& ranks = board_.keys().ranks;
    const std::string bound = BoundBelow(points);
    const Answer answer = AskAtOnce({{"ZLEXCOUNT", ranks, "-", bound},
                                     {"ZRANGE", ranks, bound, "-", "BYLEX", "REV", "LIMIT", "0",
                                      std::to_string(RanksAroundPlace)},
                                     {"ZRANGE", ranks, bound, "+", "BYLEX", "LIMIT", "0",
                                      std::to_string(RanksAroundPlace + 1)}});
    const std::int64_t place = IntegerOf(answer.Result(0)) + 1;
    KeepRows(answer.Result(1), place - 1, -1);
    KeepRows(answer.Result(2), place);
    places_[points] = place;
    return place;
}

std::vector<std::int64_t> RedisRankedView::FindPlaces(std::span<const std::int32_t> points) const {
    if (points.empty()) return {};
    std::vector<std::string> operation{"C", std::to_string(points.size())};
    for (std::int32_t each : points) operation.push_back(std::to_string(each));
    const Answer answer = Ask(std::move(operation));
    const redisReply& result = answer.Result(0);
    if (ArraySize(result) != points.size()) ThrowMalformed();
    std::vector<std::int64_t> places;
    for (std::size_t i = 0; i < points.size(); ++i) {
        places.push_back(IntegerOf(ArrayElement(result, i)));
        places_[points[i]] = places.back();
    }
    return places;
}

void RedisRankedView::VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const {
    first = std::max<std::int64_t>(first, 1);
    last = std::min(last, CountEntries());
    for (std::int64_t start = first; start <= last; start += LargestChunk) {
        const std::int64_t end = std::min(last, start + LargestChunk - 1);
        const auto begin = ranks_.lower_bound(start);
        const bool complete = begin != ranks_.end() && begin->first == start &&
                              std::distance(begin, ranks_.upper_bound(end)) == end - start + 1;
        if (!complete) LoadRanks(start, end);
        for (auto row = ranks_.lower_bound(start); row != ranks_.end() && row->first <= end; ++row) {
            visit(row->second.Describe());
        }
    }
}

void RedisRankedView::VisitFrom(std::int64_t first, const PlaceVisitor& visit) const {
    std::int64_t chunk = FirstChunk;
    for (std::int64_t place = std::max<std::int64_t>(first, 1); place <= CountEntries();) {
        const std::int64_t end = std::min(CountEntries(), place + chunk - 1);
        bool more = true;
        VisitRanks(place, end, [&](const RankedEntry& entry) {
            if (more) more = visit(place++, entry);
        });
        if (!more || place <= end) return;  // done, or the list got shorter meanwhile
        chunk = std::min(chunk * 2, LargestChunk);
    }
}

std::int64_t RedisRankedView::PlaceOf(std::int32_t points, std::int64_t id) const {
    const Answer answer = Ask({"O", std::to_string(points), std::to_string(id)});
    return IntegerOf(ArrayElement(answer.Result(0), 0));
}

void RedisRankedView::VisitNewest(const PlaceVisitor& visit) const {
    const Answer answer = Ask({"N", std::to_string(NewestEntriesKept)});
    VisitPlaced(answer.Result(0), 0, visit);
}

std::int64_t RedisRankedView::VisitNamesStartingWith(std::string_view prefix, std::size_t limit,
                                                     const PlaceVisitor& visit) const {
    if (prefix.size() > MaxNameLength) return 0;
    const NameKey folded = FoldName(prefix);
    const Answer answer = Ask({"S", std::string(folded.data(), prefix.size()), std::to_string(limit)});
    const redisReply& result = answer.Result(0);
    VisitPlaced(result, 1, visit);
    return IntegerOf(ArrayElement(result, 0));
}

}  // namespace zorblet::server
