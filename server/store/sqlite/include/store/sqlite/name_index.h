#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "store/name_key.h"
#include "store/rank_key.h"
#include "store/sqlite/entry_texts.h"
#include "store/sqlite/sorted_blocks.h"

namespace zorblet::server {

// The listed entries in the order of their folded names (then ids), for the names that
// begin with a text: how many there are, and the best of them in rank order without
// looking at the others. Each block keeps its best entry, so the first k of m matching
// entries in b blocks cost O(b + k x a block) rather than O(m). Not synchronised; the
// owner guards it, and hands in the texts the entries refer to.
class NameIndex {
public:
    using Visitor = std::function<bool(const IndexedEntry&)>;

    // Replaces the contents with `entries`, given in id order.
    void Build(const std::vector<IndexedEntry>& entries, const EntryTexts& texts);
    void Insert(const IndexedEntry& entry, const EntryTexts& texts);
    // Takes out the entry with this id and text; false when there is none.
    bool Remove(const IndexedEntry& entry, const EntryTexts& texts);

    // The entries whose names begin with `prefix` (Windows-1252, any case; at most
    // MaxNameLength bytes, longer ones match nothing): how many, and each in rank order,
    // best first, while `visit` returns true.
    std::int64_t CountStartingWith(std::string_view prefix, const EntryTexts& texts) const;
    void VisitStartingWith(std::string_view prefix, const EntryTexts& texts, const Visitor& visit) const;

private:
    // Which slot of a block ranks first.
    struct BestInBlock {
        std::uint32_t slot = 0;
        static BestInBlock Of(const std::vector<IndexedEntry>& slots);
    };
    using Blocks = SortedBlocks<IndexedEntry, BestInBlock>;
    struct Range {
        Blocks::Position first;
        Blocks::Position end;
    };

    std::optional<Range> FindRange(std::string_view prefix, const EntryTexts& texts) const;
    Blocks::Position FindEntry(const IndexedEntry& entry, const NameKey& key, const EntryTexts& texts) const;

    Blocks blocks_;
};

}  // namespace zorblet::server
