#include "store/sqlite/rank_index.h"

#include <algorithm>
#include <array>
#include <limits>

namespace zorblet::server {

namespace {

// Sorts into rank order with a stable radix sort on the points alone: the entries arrive
// in id order, and stability keeps equal points in it. Passes over bytes that all entries
// share are skipped.
template <typename Item>
void SortIntoRankOrder(std::vector<Item>& items) {
    // Ascending in this value is descending in points.
    const auto descending = [](const Item& item) { return ~(static_cast<std::uint32_t>(item.points) ^ 0x80000000u); };
    std::vector<Item> buffer;
    buffer.reserve(items.size());
    AdviseHugePages(buffer.data(), items.size() * sizeof(Item));
    buffer.resize(items.size());
    for (unsigned shift = 0; shift < 32; shift += 8) {
        std::array<std::size_t, 257> starts{};
        for (const Item& item : items) ++starts[((descending(item) >> shift) & 0xFF) + 1];
        if (std::any_of(starts.begin(), starts.end(), [&](std::size_t n) { return n == items.size(); })) continue;
        for (std::size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
        for (const Item& item : items) buffer[starts[(descending(item) >> shift) & 0xFF]++] = item;
        items.swap(buffer);
    }
}

}  // namespace

RankIndex::RankIndex() = default;
RankIndex::RankIndex(RankIndex&&) noexcept = default;
RankIndex& RankIndex::operator=(RankIndex&&) noexcept = default;
RankIndex::~RankIndex() = default;

void RankIndex::Build(std::vector<Loaded> entries) {
    newest_.clear();
    for (auto entry = entries.rbegin(); entry != entries.rend() && newest_.size() < NewestEntriesKept; ++entry) {
        newest_.push_back(KeyOf(*entry));
    }
    names_.Build(entries, texts_);
    SortIntoRankOrder(entries);
    ranks_.Assign(entries);
    ++version_;
}

void RankIndex::Insert(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at) {
    const IndexedEntry slot{id, entry.points, texts_.Append(entry.name, entry.date, stored_at, entry.verified)};
    ranks_.Insert(LowerBound(KeyOf(slot)), slot);
    names_.Insert(slot, texts_);
    if (newest_.empty() || id > newest_.front().id) {
        newest_.insert(newest_.begin(), KeyOf(slot));
        if (newest_.size() > NewestEntriesKept) newest_.pop_back();
    }
    ++version_;
}

bool RankIndex::Remove(RankKey key) {
    const Blocks::Position at = LowerBound(key);
    if (ranks_.IsEnd(at) || !(KeyOf(ranks_.At(at)) == key)) return false;
    names_.Remove(ranks_.At(at), texts_);
    ranks_.Erase(at);
    std::erase(newest_, key);
    ++version_;
    return true;
}

bool RankIndex::Contains(RankKey key) const {
    const Blocks::Position at = LowerBound(key);
    return !ranks_.IsEnd(at) && KeyOf(ranks_.At(at)) == key;
}

void RankIndex::SetNewest(std::vector<RankKey> newest) {
    if (newest.size() > NewestEntriesKept) newest.resize(NewestEntriesKept);
    newest_ = std::move(newest);
}

RankIndex::Blocks::Position RankIndex::LowerBound(RankKey key) const {
    return ranks_.PartitionPoint([&](const IndexedEntry& slot) { return RanksBefore(KeyOf(slot), key); });
}

std::int64_t RankIndex::PlaceOf(std::int32_t points, std::int64_t id) const {
    return ranks_.CountBefore(LowerBound({points, id})) + 1;
}

std::int64_t RankIndex::CountEntries() const {
    return ranks_.size();
}

std::int64_t RankIndex::FindPlace(std::int32_t points) const {
    // Every entry with these points ranks before this key, whatever its id.
    return PlaceOf(points, std::numeric_limits<std::int64_t>::max());
}

RankedEntry RankIndex::Describe(const IndexedEntry& slot) const {
    RankedEntry entry;
    entry.id = slot.id;
    entry.points = slot.points;
    texts_.Read(slot.text, entry);
    return entry;
}

void RankIndex::VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const {
    last = std::min(last, CountEntries());
    VisitFrom(first, [&](std::int64_t place, const RankedEntry& entry) {
        if (place > last) return false;
        visit(entry);
        return true;
    });
}

void RankIndex::VisitFrom(std::int64_t first, const PlaceVisitor& visit) const {
    first = std::max<std::int64_t>(first, 1);
    if (first > CountEntries()) return;
    std::int64_t place = first;
    ranks_.VisitFrom(ranks_.PositionOfRank(first),
                     [&](const IndexedEntry& slot) { return visit(place++, Describe(slot)); });
}

void RankIndex::VisitNewest(const PlaceVisitor& visit) const {
    for (const RankKey& key : newest_) {
        const Blocks::Position at = LowerBound(key);
        if (!visit(ranks_.CountBefore(at) + 1, Describe(ranks_.At(at)))) return;
    }
}

std::int64_t RankIndex::VisitNamesStartingWith(std::string_view prefix, std::size_t limit,
                                               const PlaceVisitor& visit) const {
    std::size_t visited = 0;
    if (limit == 0) return names_.CountStartingWith(prefix, texts_);
    names_.VisitStartingWith(prefix, texts_, [&](const IndexedEntry& slot) {
        if (visited == limit) return false;
        ++visited;
        return visit(PlaceOf(slot.points, slot.id), Describe(slot));
    });
    return names_.CountStartingWith(prefix, texts_);
}

}  // namespace zorblet::server
