#include "rank_index.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <limits>

namespace zorblet::server {

namespace {

// A text record: name length, date length (one byte each), storage time (4 bytes, Unix
// time up to 2106, 0 unknown), then the name and date bytes.
constexpr std::size_t TextHeader = 6;
constexpr std::size_t MaxTextLength = 255;  // longer texts (only by hand) are cut
constexpr std::size_t ChunkBits = 21;  // a huge page each
constexpr std::size_t ChunkSize = std::size_t{1} << ChunkBits;
constexpr std::size_t MaxChunks = (std::size_t{1} << 32) >> ChunkBits;

// Inserting into a block moves at most this many slots (8 KiB); a full block splits in two.
constexpr std::size_t BlockCapacity = 512;
// A freshly built block keeps room for inserts before it has to split.
constexpr std::size_t BuiltBlockFill = BlockCapacity * 7 / 8;

std::string_view CutText(std::string_view text) {
    return text.substr(0, std::min(text.size(), MaxTextLength));
}

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

void AdviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t HugePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(HugePage - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

void EntryTexts::FreeChunk::operator()(char* chunk) const {
    std::free(chunk);
}

EntryTexts::Reference EntryTexts::Append(std::string_view name, std::string_view date, std::int64_t stored_at) {
    name = CutText(name);
    date = CutText(date);
    const std::size_t length = TextHeader + name.size() + date.size();
    if (chunks_.empty() || used_in_last_ + length > ChunkSize) {
        if (chunks_.size() == MaxChunks) throw StorageError("the list's names and dates outgrow 4 GiB of memory");
        auto* chunk = static_cast<char*>(std::aligned_alloc(ChunkSize, ChunkSize));
        if (chunk == nullptr) throw std::bad_alloc();
        chunks_.emplace_back(chunk);
        AdviseHugePages(chunk, ChunkSize);
        used_in_last_ = 0;
    }
    char* record = chunks_.back().get() + used_in_last_;
    const auto time = static_cast<std::uint32_t>(std::clamp<std::int64_t>(stored_at, 0, 0xFFFFFFFF));
    record[0] = static_cast<char>(name.size());
    record[1] = static_cast<char>(date.size());
    std::memcpy(record + 2, &time, sizeof time);
    std::memcpy(record + TextHeader, name.data(), name.size());
    std::memcpy(record + TextHeader + name.size(), date.data(), date.size());
    const auto reference = static_cast<Reference>(((chunks_.size() - 1) << ChunkBits) | used_in_last_);
    used_in_last_ += length;
    return reference;
}

void EntryTexts::Read(Reference reference, RankedEntry& entry) const {
    const char* record = chunks_[reference >> ChunkBits].get() + (reference & (ChunkSize - 1));
    const auto name_length = static_cast<unsigned char>(record[0]);
    const auto date_length = static_cast<unsigned char>(record[1]);
    std::uint32_t time = 0;
    std::memcpy(&time, record + 2, sizeof time);
    entry.stored_at = time;
    entry.name = std::string_view(record + TextHeader, name_length);
    entry.date = std::string_view(record + TextHeader + name_length, date_length);
}

RankIndex::RankIndex() = default;
RankIndex::RankIndex(RankIndex&&) noexcept = default;
RankIndex& RankIndex::operator=(RankIndex&&) noexcept = default;
RankIndex::~RankIndex() = default;

void RankIndex::Build(std::vector<Loaded> entries) {
    SortIntoRankOrder(entries);
    blocks_.clear();
    blocks_.reserve(entries.size() / BuiltBlockFill + 1);
    for (std::size_t start = 0; start < entries.size(); start += BuiltBlockFill) {
        Block& block = blocks_.emplace_back();
        block.reserve(BlockCapacity);
        const std::size_t end = std::min(entries.size(), start + BuiltBlockFill);
        block.insert(block.end(), entries.begin() + static_cast<std::ptrdiff_t>(start),
                     entries.begin() + static_cast<std::ptrdiff_t>(end));
    }
    size_ = static_cast<std::int64_t>(entries.size());
    RebuildCounts();
}

void RankIndex::Insert(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at) {
    InsertSlot({id, entry.points, texts_.Append(entry.name, entry.date, stored_at)});
}

void RankIndex::InsertSlot(Slot slot) {
    if (blocks_.empty()) {
        blocks_.emplace_back().reserve(BlockCapacity);
        blocks_.back().push_back(slot);
        size_ = 1;
        RebuildCounts();
        return;
    }
    Position at = LowerBound(KeyOf(slot));
    if (at.block == blocks_.size()) at = {blocks_.size() - 1, blocks_.back().size()};  // after the last
    Block& block = blocks_[at.block];
    block.insert(block.begin() + static_cast<std::ptrdiff_t>(at.slot), slot);
    ++size_;
    AddToCount(at.block, 1);
    if (block.size() == BlockCapacity) SplitBlock(at.block);
}

bool RankIndex::Remove(RankKey key) {
    const Position at = LowerBound(key);
    if (at.block == blocks_.size() || !(KeyOf(blocks_[at.block][at.slot]) == key)) return false;
    Block& block = blocks_[at.block];
    block.erase(block.begin() + static_cast<std::ptrdiff_t>(at.slot));
    --size_;
    if (block.empty()) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block));
        RebuildCounts();
    } else {
        AddToCount(at.block, -1);
    }
    return true;
}

void RankIndex::SplitBlock(std::size_t block) {
    Block upper;
    upper.reserve(BlockCapacity);
    const auto middle = blocks_[block].begin() + static_cast<std::ptrdiff_t>(BlockCapacity / 2);
    upper.assign(middle, blocks_[block].end());
    blocks_[block].erase(middle, blocks_[block].end());
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    RebuildCounts();
}

void RankIndex::RebuildCounts() {
    counts_.assign(blocks_.size() + 1, 0);
    for (std::size_t i = 1; i < counts_.size(); ++i) {
        counts_[i] += static_cast<std::int64_t>(blocks_[i - 1].size());
        const std::size_t parent = i + (i & (~i + 1));
        if (parent < counts_.size()) counts_[parent] += counts_[i];
    }
}

void RankIndex::AddToCount(std::size_t block, std::int64_t delta) {
    for (std::size_t i = block + 1; i < counts_.size(); i += i & (~i + 1)) counts_[i] += delta;
}

std::int64_t RankIndex::EntriesBefore(std::size_t block) const {
    std::int64_t sum = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) sum += counts_[i];
    return sum;
}

RankIndex::Position RankIndex::LowerBound(RankKey key) const {
    // The first block whose last key does not rank before `key` holds the position.
    const auto block = std::partition_point(blocks_.begin(), blocks_.end(),
                                            [&](const Block& b) { return RanksBefore(KeyOf(b.back()), key); });
    if (block == blocks_.end()) return {blocks_.size(), 0};
    const auto slot = std::partition_point(block->begin(), block->end(),
                                           [&](const Slot& s) { return RanksBefore(KeyOf(s), key); });
    return {static_cast<std::size_t>(block - blocks_.begin()), static_cast<std::size_t>(slot - block->begin())};
}

RankIndex::Position RankIndex::PositionOfRank(std::int64_t rank) const {
    // Descends the Fenwick tree to the last block boundary with fewer than `rank` entries before it.
    std::size_t block = 0;
    std::int64_t before = 0;
    std::size_t step = std::bit_floor(counts_.size());
    for (; step > 0; step >>= 1) {
        const std::size_t next = block + step;
        if (next < counts_.size() && before + counts_[next] < rank) {
            block = next;
            before += counts_[next];
        }
    }
    return {block, static_cast<std::size_t>(rank - before - 1)};
}

std::int64_t RankIndex::PlaceOf(std::int32_t points, std::int64_t id) const {
    const Position at = LowerBound({points, id});
    if (at.block == blocks_.size()) return size_ + 1;
    return EntriesBefore(at.block) + static_cast<std::int64_t>(at.slot) + 1;
}

std::int64_t RankIndex::CountEntries() const {
    return size_;
}

std::int64_t RankIndex::FindPlace(std::int32_t points) const {
    // Every entry with these points ranks before this key, whatever its id.
    return PlaceOf(points, std::numeric_limits<std::int64_t>::max());
}

RankedEntry RankIndex::Describe(const Slot& slot) const {
    RankedEntry entry;
    entry.id = slot.id;
    entry.points = slot.points;
    texts_.Read(slot.text, entry);
    return entry;
}

void RankIndex::VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const {
    last = std::min(last, size_);
    VisitFrom(first, [&](std::int64_t place, const RankedEntry& entry) {
        if (place > last) return false;
        visit(entry);
        return true;
    });
}

void RankIndex::VisitFrom(std::int64_t first, const PlaceVisitor& visit) const {
    first = std::max<std::int64_t>(first, 1);
    if (first > size_) return;
    Position at = PositionOfRank(first);
    for (std::int64_t place = first; at.block < blocks_.size(); ++at.block, at.slot = 0) {
        for (const Block& block = blocks_[at.block]; at.slot < block.size(); ++at.slot, ++place) {
            if (!visit(place, Describe(block[at.slot]))) return;
        }
    }
}

}  // namespace zorblet::server
