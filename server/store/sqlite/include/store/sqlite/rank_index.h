#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/rank_key.h"
#include "store/score_board.h"
#include "store/sqlite/entry_texts.h"
#include "store/sqlite/name_index.h"
#include "store/sqlite/sorted_blocks.h"

namespace zorblet::server {

// All listed entries in rank order, answering places and rank ranges in O(log n) however
// deep the rank, with an index of their names beside it, the entries stored last and a
// version that every change moves on. Not synchronised; the owner guards it.
class RankIndex final : public RankedView {
public:
    // One entry for Build: its key and its texts.
    using Loaded = IndexedEntry;

    RankIndex();
    RankIndex(RankIndex&&) noexcept;
    RankIndex& operator=(RankIndex&&) noexcept;
    ~RankIndex() override;

    // Replaces the contents with `entries` (their texts already in texts()) given in id
    // order; sorts them. The last of them become the newest.
    void Build(std::vector<Loaded> entries);
    EntryTexts& texts() { return texts_; }

    // An entry with a higher id than any before becomes the newest.
    void Insert(std::int64_t id, const ScoreEntry& entry, std::int64_t stored_at);
    // Takes the entry out (of the newest too); false when no entry has this key.
    bool Remove(RankKey key);
    // The newest entries, newest first, as the owner found them after a removal or restore.
    void SetNewest(std::vector<RankKey> newest);
    // Where the version starts; every insert and removal adds one.
    void StartVersionAt(std::uint64_t version) { version_ = version; }

    std::int64_t CountEntries() const override;
    std::int64_t FindPlace(std::int32_t points) const override;
    void VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const override;
    void VisitFrom(std::int64_t first, const PlaceVisitor& visit) const override;
    std::int64_t PlaceOf(std::int32_t points, std::int64_t id) const override;
    std::uint64_t Version() const override { return version_; }
    void VisitNewest(const PlaceVisitor& visit) const override;
    std::int64_t VisitNamesStartingWith(std::string_view prefix, std::size_t limit,
                                        const PlaceVisitor& visit) const override;

private:
    using Blocks = SortedBlocks<IndexedEntry>;

    // The first position whose key does not rank before `key`.
    Blocks::Position LowerBound(RankKey key) const;
    RankedEntry Describe(const IndexedEntry& slot) const;

    EntryTexts texts_;
    Blocks ranks_;
    NameIndex names_;
    std::vector<RankKey> newest_;  // newest first, at most NewestEntriesKept
    std::uint64_t version_ = 0;
};

}  // namespace zorblet::server
