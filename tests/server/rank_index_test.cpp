#include "rank_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace zorblet::server {
namespace {

// Ranks by a plain stable sort: more points first, equal points in arrival order.
std::vector<ScoreEntry> RankNaively(std::vector<ScoreEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ScoreEntry& a, const ScoreEntry& b) { return a.points > b.points; });
    return entries;
}

std::vector<ScoreEntry> CollectRanks(const RankIndex& index, std::int64_t first, std::int64_t last) {
    std::vector<ScoreEntry> visited;
    index.VisitRanks(first, last, [&](const ScoreEntry& entry) { visited.push_back(entry); });
    return visited;
}

TEST(RankIndex, AgreesWithASortedListOnPlacesAndRanges) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> points(-20, 20);  // many ties
    std::vector<ScoreEntry> arrivals;
    RankIndex index;
    for (int i = 0; i < 1500; ++i) {
        arrivals.push_back({points(random), std::to_string(i), "01.01.25"});
        index.Insert(i, arrivals.back());
    }
    const std::vector<ScoreEntry> ranked = RankNaively(arrivals);
    ASSERT_EQ(index.CountEntries(), 1500);

    for (std::int32_t p = -22; p <= 22; ++p) {
        const auto at_least =
            std::count_if(ranked.begin(), ranked.end(), [p](const ScoreEntry& e) { return e.points >= p; });
        EXPECT_EQ(index.FindPlace(p), at_least + 1) << p;
    }
    for (std::int64_t first : {1, 2, 700, 1490}) {
        const std::vector<ScoreEntry> expected(ranked.begin() + first - 1,
                                               ranked.begin() + std::min<std::int64_t>(first + 11, 1500));
        EXPECT_EQ(CollectRanks(index, first, first + 11), expected) << first;
    }
}

TEST(RankIndex, VisitsOnlyRanksThatExist) {
    RankIndex index;
    index.Insert(1, {10, "a", "d"});
    index.Insert(2, {10, "b", "d"});
    EXPECT_EQ(CollectRanks(index, -3, 0).size(), 0u);
    EXPECT_EQ(CollectRanks(index, 2, 9), (std::vector<ScoreEntry>{{10, "b", "d"}}));
    EXPECT_EQ(CollectRanks(index, 3, 9).size(), 0u);
    EXPECT_EQ(RankIndex().FindPlace(0), 1);
}

}  // namespace
}  // namespace zorblet::server
