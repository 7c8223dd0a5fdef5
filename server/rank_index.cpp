#include "rank_index.h"

#include <algorithm>
#include <limits>

namespace zorblet::server {

void RankIndex::Insert(std::int64_t sequence, ScoreEntry entry) {
    tree_.insert({RankKey{entry.points, sequence}, std::move(entry)});
}

std::int64_t RankIndex::CountEntries() const {
    return static_cast<std::int64_t>(tree_.size());
}

std::int64_t RankIndex::FindPlace(std::int32_t points) const {
    // Every entry with these points sorts before this key, whatever its sequence.
    const RankKey after_equals{points, std::numeric_limits<std::int64_t>::max()};
    return static_cast<std::int64_t>(tree_.order_of_key(after_equals)) + 1;
}

void RankIndex::VisitRanks(std::int64_t first, std::int64_t last, const EntryVisitor& visit) const {
    first = std::max<std::int64_t>(first, 1);
    last = std::min(last, CountEntries());
    if (first > last) return;
    auto it = tree_.find_by_order(static_cast<std::size_t>(first - 1));
    for (std::int64_t rank = first; rank <= last; ++rank, ++it) {
        visit(it->second);
    }
}

}  // namespace zorblet::server
