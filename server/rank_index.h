#pragma once

#include <cstdint>
#include <functional>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include "score_board.h"

namespace zorblet::server {

// All entries in rank order, in memory, answering places and rank ranges in O(log n)
// however deep the rank. `sequence` is the entry's storage order: among equal points the
// smaller sequence ranks higher. Not synchronised; the owner guards it.
class RankIndex final : public RankedView {
public:
    void Insert(std::int64_t sequence, ScoreEntry entry);

    std::int64_t CountEntries() const override;
    std::int64_t FindPlace(std::int32_t points) const override;
    void VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const override;

private:
    struct RankKey {
        std::int32_t points;
        std::int64_t sequence;
    };
    struct RanksBefore {
        bool operator()(const RankKey& a, const RankKey& b) const {
            if (a.points != b.points) return a.points > b.points;
            return a.sequence < b.sequence;
        }
    };
    using Tree = __gnu_pbds::tree<RankKey, ScoreEntry, RanksBefore, __gnu_pbds::rb_tree_tag,
                                  __gnu_pbds::tree_order_statistics_node_update>;

    Tree tree_;
};

}  // namespace zorblet::server
