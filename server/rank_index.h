#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "score_board.h"

namespace zorblet::server {

// Where an entry ranks: more points first, among equal points the smaller id.
struct RankKey {
    std::int32_t points = 0;
    std::int64_t id = 0;

    bool operator==(const RankKey&) const = default;
};

inline bool RanksBefore(const RankKey& a, const RankKey& b) {
    if (a.points != b.points) return a.points > b.points;
    return a.id < b.id;
}

// The names, dates and storage times of the entries, packed one after another in large
// chunks: some 30 bytes an entry instead of two strings and a tree node each. Append only;
// a reference stays valid for the text's life. Not synchronised; the owner guards it.
class EntryTexts {
public:
    using Reference = std::uint32_t;

    // Throws StorageError when the texts outgrow what a reference can address (4 GiB).
    Reference Append(std::string_view name, std::string_view date, std::int64_t stored_at);
    void Read(Reference reference, RankedEntry& entry) const;

private:
    struct FreeChunk {
        void operator()(char* chunk) const;
    };
    std::vector<std::unique_ptr<char[], FreeChunk>> chunks_;
    std::size_t used_in_last_ = 0;
};

// Asks for huge pages for a large array about to be filled: at start, page faults cost
// more than the copying, most of all on virtual machines. Only a hint.
void AdviseHugePages(const void* data, std::size_t bytes);

// All listed entries in rank order, answering places and rank ranges in O(log n) however
// deep the rank. The keys sit in sorted blocks of a few hundred (a flat B-tree of one
// level), with a Fenwick tree over the block sizes for the ranks; built from a sorted
// array, a list of millions is ready in a fraction of a second. Not synchronised; the
// owner guards it.
class RankIndex final : public RankedView {
public:
    // One entry for Build: its key and its texts.
    struct Loaded {
        std::int64_t id;
        std::int32_t points;
        EntryTexts::Reference text;
    };

    RankIndex();
    RankIndex(RankIndex&&) noexcept;
    RankIndex& operator=(RankIndex&&) noexcept;
    ~RankIndex() override;

    // Replaces the contents with `entries` (their texts already in texts()) given in id
    // order; sorts them.
    void Build(std::vector<Loaded> entries);
    EntryTexts& texts() { return texts_; }

    void Insert(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at);
    // Takes the entry out; false when no entry has this key.
    bool Remove(RankKey key);

    std::int64_t CountEntries() const override;
    std::int64_t FindPlace(std::int32_t points) const override;
    void VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const override;

    void VisitFrom(std::int64_t first, const PlaceVisitor& visit) const override;
    std::int64_t PlaceOf(std::int32_t points, std::int64_t id) const override;

private:
    using Slot = Loaded;
    using Block = std::vector<Slot>;
    struct Position {
        std::size_t block;
        std::size_t slot;
    };

    static RankKey KeyOf(const Slot& slot) { return {slot.points, slot.id}; }
    // The first position whose key does not rank before `key`.
    Position LowerBound(RankKey key) const;
    Position PositionOfRank(std::int64_t rank) const;  // rank from 1 to CountEntries()
    std::int64_t EntriesBefore(std::size_t block) const;
    void InsertSlot(Slot slot);
    void SplitBlock(std::size_t block);
    void RebuildCounts();
    void AddToCount(std::size_t block, std::int64_t delta);
    RankedEntry Describe(const Slot& slot) const;

    EntryTexts texts_;
    std::vector<Block> blocks_;
    std::vector<std::int64_t> counts_;  // Fenwick tree over the block sizes, 1-based
    std::int64_t size_ = 0;
};

}  // namespace zorblet::server
