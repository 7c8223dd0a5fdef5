#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorblet::server {

// No figures kept per block.
struct NoBlockSummary {
    template <typename Slot>
    static NoBlockSummary Of(const std::vector<Slot>&) {
        return {};
    }
};

// Items in one order, kept in sorted blocks of a few hundred (a flat B-tree of one level)
// with a Fenwick tree over the block sizes: finding a position, its rank and the item at a
// rank take O(log n), an insert or removal moves at most one block's items. Built from a
// sorted array, millions are ready in a fraction of a second. `Summary::Of(items)` gives
// figures of one block, recomputed whenever that block changes. Not synchronised.
template <typename Slot, typename Summary = NoBlockSummary>
class SortedBlocks {
public:
    struct Block {
        std::vector<Slot> slots;
        Summary summary{};
    };
    struct Position {
        std::size_t block = 0;
        std::size_t slot = 0;
    };

    // Replaces the contents with `sorted`, which is in order already.
    void Assign(const std::vector<Slot>& sorted) {
        Assign(sorted.size(), [&](std::size_t i) { return sorted[i]; });
    }
    // The same with the items item(0) to item(count - 1).
    template <typename Item>
    void Assign(std::size_t count, Item item) {
        blocks_.clear();
        blocks_.reserve(count / BuiltBlockFill + 1);
        for (std::size_t start = 0; start < count; start += BuiltBlockFill) {
            Block& block = blocks_.emplace_back();
            block.slots.reserve(BlockCapacity);
            const std::size_t end = std::min(count, start + BuiltBlockFill);
            for (std::size_t i = start; i < end; ++i) block.slots.push_back(item(i));
            block.summary = Summary::Of(block.slots);
        }
        size_ = static_cast<std::int64_t>(count);
        RebuildCounts();
    }

    std::int64_t size() const { return size_; }
    const std::vector<Block>& blocks() const { return blocks_; }
    bool IsEnd(Position at) const { return at.block == blocks_.size(); }
    const Slot& At(Position at) const { return blocks_[at.block].slots[at.slot]; }

    // The first position whose item `before` is false for; `before` must hold for a
    // leading part of the order and for nothing after it.
    template <typename Before>
    Position PartitionPoint(Before before) const {
        const auto block = std::partition_point(blocks_.begin(), blocks_.end(),
                                                [&](const Block& b) { return before(b.slots.back()); });
        if (block == blocks_.end()) return {blocks_.size(), 0};
        const auto slot = std::partition_point(block->slots.begin(), block->slots.end(), before);
        return {static_cast<std::size_t>(block - blocks_.begin()),
                static_cast<std::size_t>(slot - block->slots.begin())};
    }

    // The position of the item at `rank`, from 1 to size().
    Position PositionOfRank(std::int64_t rank) const {
        // Descends the Fenwick tree to the last block boundary with fewer than `rank` items before it.
        std::size_t block = 0;
        std::int64_t before = 0;
        for (std::size_t step = std::bit_floor(counts_.size()); step > 0; step >>= 1) {
            const std::size_t next = block + step;
            if (next < counts_.size() && before + counts_[next] < rank) {
                block = next;
                before += counts_[next];
            }
        }
        return {block, static_cast<std::size_t>(rank - before - 1)};
    }

    // How many items stand before `at`.
    std::int64_t CountBefore(Position at) const {
        if (IsEnd(at)) return size_;
        std::int64_t sum = static_cast<std::int64_t>(at.slot);
        for (std::size_t i = at.block; i > 0; i -= i & (~i + 1)) sum += counts_[i];
        return sum;
    }

    // Inserts `slot` at `at`, as PartitionPoint found it for the slot's key.
    void Insert(Position at, const Slot& slot) {
        const bool first = blocks_.empty();
        if (first) {
            blocks_.emplace_back().slots.reserve(BlockCapacity);
            at = {0, 0};
        } else if (IsEnd(at)) {
            at = {blocks_.size() - 1, blocks_.back().slots.size()};  // after the last
        }
        Block& block = blocks_[at.block];
        block.slots.insert(block.slots.begin() + static_cast<std::ptrdiff_t>(at.slot), slot);
        ++size_;
        if (block.slots.size() == BlockCapacity) return SplitBlock(at.block);
        block.summary = Summary::Of(block.slots);
        if (first) {
            RebuildCounts();
        } else {
            AddToCount(at.block, 1);
        }
    }

    void Erase(Position at) {
        Block& block = blocks_[at.block];
        block.slots.erase(block.slots.begin() + static_cast<std::ptrdiff_t>(at.slot));
        --size_;
        if (block.slots.empty()) {
            blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block));
            RebuildCounts();
        } else {
            block.summary = Summary::Of(block.slots);
            AddToCount(at.block, -1);
        }
    }

    // Calls `visit(slot)` for the items from `from` on, in order, while it returns true.
    template <typename Visit>
    void VisitFrom(Position from, Visit visit) const {
        for (; from.block < blocks_.size(); ++from.block, from.slot = 0) {
            const std::vector<Slot>& slots = blocks_[from.block].slots;
            for (; from.slot < slots.size(); ++from.slot) {
                if (!visit(slots[from.slot])) return;
            }
        }
    }

private:
    // Inserting into a block moves at most this many items; a full block splits in two.
    static constexpr std::size_t BlockCapacity = 512;
    // A freshly built block keeps room for inserts before it has to split.
    static constexpr std::size_t BuiltBlockFill = BlockCapacity * 7 / 8;

    void SplitBlock(std::size_t index) {
        Block upper;
        upper.slots.reserve(BlockCapacity);
        std::vector<Slot>& lower = blocks_[index].slots;
        const auto middle = lower.begin() + static_cast<std::ptrdiff_t>(BlockCapacity / 2);
        upper.slots.assign(middle, lower.end());
        lower.erase(middle, lower.end());
        blocks_[index].summary = Summary::Of(lower);
        upper.summary = Summary::Of(upper.slots);
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(upper));
        RebuildCounts();
    }

    void RebuildCounts() {
        counts_.assign(blocks_.size() + 1, 0);
        for (std::size_t i = 1; i < counts_.size(); ++i) {
            counts_[i] += static_cast<std::int64_t>(blocks_[i - 1].slots.size());
            const std::size_t parent = i + (i & (~i + 1));
            if (parent < counts_.size()) counts_[parent] += counts_[i];
        }
    }

    void AddToCount(std::size_t block, std::int64_t delta) {
        for (std::size_t i = block + 1; i < counts_.size(); i += i & (~i + 1)) counts_[i] += delta;
    }

    std::vector<Block> blocks_;
    std::vector<std::int64_t> counts_;  // Fenwick tree over the block sizes, 1-based
    std::int64_t size_ = 0;
};

}  // namespace zorblet::server
