#include "store/sqlite/name_index.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zorblet::server {

namespace {

int CompareStart(const NameKey& key, const NameKey& other, std::size_t length) {
    return std::memcmp(key.data(), other.data(), length);
}

// The slot in [first, end) that ranks first among those ranking after `after` (all when
// null); nullopt when there is none.
std::optional<std::size_t> FindBestSlot(const std::vector<IndexedEntry>& slots, std::size_t first, std::size_t end,
                                        const RankKey* after) {
    std::optional<std::size_t> best;
    for (std::size_t i = first; i < end; ++i) {
        const RankKey key = KeyOf(slots[i]);
        if (after != nullptr && !RanksBefore(*after, key)) continue;
        if (!best || RanksBefore(key, KeyOf(slots[*best]))) best = i;
    }
    return best;
}

// An entry with its folded name, carried along while sorting: fetching the entries in
// sorted order afterwards would miss the cache once for each.
struct SortableName {
    NameKey key;
    IndexedEntry entry;
};

bool SortsBefore(const SortableName& a, const SortableName& b) {
    const int order = CompareStart(a.key, b.key, a.key.size());
    return order < 0 || (order == 0 && a.entry.id < b.entry.id);
}

// Sorts by key, equal keys in the order they come in: a stable radix sort from the first byte on,
// splitting on byte `at` and then each part on the next byte; small parts, and bytes all
// items share, go without a pass. Names often share long beginnings ("Spieler 1", ...),
// which a comparison sort would compare again and again: at a start of millions this
// takes a fraction of its time.
void SortNames(SortableName* items, SortableName* buffer, std::size_t count, std::size_t at) {
    constexpr std::size_t SmallPart = 64;
    for (; at < MaxNameLength && count >= SmallPart; ++at) {
        std::array<std::size_t, 257> starts{};
        for (std::size_t i = 0; i < count; ++i) ++starts[static_cast<unsigned char>(items[i].key[at]) + 1];
        if (std::find(starts.begin(), starts.end(), count) != starts.end()) continue;  // one byte for all
        for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
        const std::array<std::size_t, 257> bounds = starts;
        for (std::size_t i = 0; i < count; ++i) buffer[starts[static_cast<unsigned char>(items[i].key[at])]++] = items[i];
        std::copy(buffer, buffer + count, items);
        for (std::size_t b = 0; b + 1 < bounds.size(); ++b) {
            const std::size_t size = bounds[b + 1] - bounds[b];
            if (size > 1) SortNames(items + bounds[b], buffer + bounds[b], size, at + 1);
        }
        return;
    }
    std::sort(items, items + count, SortsBefore);
}

}  // namespace

NameIndex::BestInBlock NameIndex::BestInBlock::Of(const std::vector<IndexedEntry>& slots) {
    return {static_cast<std::uint32_t>(FindBestSlot(slots, 0, slots.size(), nullptr).value_or(0))};
}

// The arrays are advised to huge pages before they are first touched: at a start of
// millions, faulting their pages in costs more than the sorting.
void NameIndex::Build(const std::vector<IndexedEntry>& entries, const EntryTexts& texts) {
    std::vector<SortableName> sortable;
    sortable.reserve(entries.size());
    AdviseHugePages(sortable.data(), entries.size() * sizeof(SortableName));
    for (const IndexedEntry& entry : entries) sortable.push_back({FoldName(texts.ReadName(entry.text)), entry});
    {
        std::vector<SortableName> buffer;
        buffer.reserve(sortable.size());
        AdviseHugePages(buffer.data(), sortable.size() * sizeof(SortableName));
        buffer.resize(sortable.size());
        SortNames(sortable.data(), buffer.data(), sortable.size(), 0);
    }
    blocks_.Assign(sortable.size(), [&](std::size_t i) { return sortable[i].entry; });
}

NameIndex::Blocks::Position NameIndex::FindEntry(const IndexedEntry& entry, const NameKey& key,
                                                 const EntryTexts& texts) const {
    return blocks_.PartitionPoint([&](const IndexedEntry& slot) {
        const int order = CompareStart(FoldName(texts.ReadName(slot.text)), key, key.size());
        return order < 0 || (order == 0 && slot.id < entry.id);
    });
}

void NameIndex::Insert(const IndexedEntry& entry, const EntryTexts& texts) {
    blocks_.Insert(FindEntry(entry, FoldName(texts.ReadName(entry.text)), texts), entry);
}

bool NameIndex::Remove(const IndexedEntry& entry, const EntryTexts& texts) {
    const Blocks::Position at = FindEntry(entry, FoldName(texts.ReadName(entry.text)), texts);
    if (blocks_.IsEnd(at) || blocks_.At(at).id != entry.id) return false;
    blocks_.Erase(at);
    return true;
}

std::optional<NameIndex::Range> NameIndex::FindRange(std::string_view prefix, const EntryTexts& texts) const {
    // A zero byte would match the padding.
    if (prefix.size() > MaxNameLength || prefix.find('\0') != std::string_view::npos) return std::nullopt;
    const NameKey start = FoldName(prefix);
    const auto compare = [&](const IndexedEntry& slot) {
        return CompareStart(FoldName(texts.ReadName(slot.text)), start, prefix.size());
    };
    return Range{blocks_.PartitionPoint([&](const IndexedEntry& slot) { return compare(slot) < 0; }),
                 blocks_.PartitionPoint([&](const IndexedEntry& slot) { return compare(slot) <= 0; })};
}

std::int64_t NameIndex::CountStartingWith(std::string_view prefix, const EntryTexts& texts) const {
    const std::optional<Range> range = FindRange(prefix, texts);
    return range ? blocks_.CountBefore(range->end) - blocks_.CountBefore(range->first) : 0;
}

// A merge of the blocks in the range, each taking part with its best entry not yet
// visited: a whole block's best is kept, so only the blocks visited from are looked through.
void NameIndex::VisitStartingWith(std::string_view prefix, const EntryTexts& texts, const Visitor& visit) const {
    const std::optional<Range> range = FindRange(prefix, texts);
    if (!range) return;
    struct Candidate {
        RankKey key;
        std::size_t block;
        std::size_t slot;
        std::size_t first;  // the block's slots in the range: [first, end)
        std::size_t end;
    };
    const auto ranks_later = [](const Candidate& a, const Candidate& b) { return RanksBefore(b.key, a.key); };
    const auto& blocks = blocks_.blocks();
    const std::size_t last_block = blocks_.IsEnd(range->end) ? blocks.size() : range->end.block + 1;
    std::vector<Candidate> heap;
    for (std::size_t b = range->first.block; b < last_block; ++b) {
        const std::vector<IndexedEntry>& slots = blocks[b].slots;
        const std::size_t first = b == range->first.block ? range->first.slot : 0;
        const std::size_t end = b == range->end.block ? range->end.slot : slots.size();
        if (first >= end) continue;
        const std::size_t best =
            first == 0 && end == slots.size() ? blocks[b].summary.slot : *FindBestSlot(slots, first, end, nullptr);
        heap.push_back({KeyOf(slots[best]), b, best, first, end});
    }
    std::make_heap(heap.begin(), heap.end(), ranks_later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), ranks_later);
        Candidate next = heap.back();
        heap.pop_back();
        const std::vector<IndexedEntry>& slots = blocks[next.block].slots;
        if (!visit(slots[next.slot])) return;
        const std::optional<std::size_t> after = FindBestSlot(slots, next.first, next.end, &next.key);
        if (!after) continue;
        next.key = KeyOf(slots[*after]);
        next.slot = *after;
        heap.push_back(next);
        std::push_heap(heap.begin(), heap.end(), ranks_later);
    }
}

}  // namespace zorblet::server
