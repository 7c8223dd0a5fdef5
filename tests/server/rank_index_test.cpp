#include "rank_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace zorblet::server {
namespace {

struct Stored {
    std::int64_t id;
    ScoreEntry entry;
};

// The plain ranking: more points first, equal points by id.
std::vector<Stored> RankNaively(std::vector<Stored> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const Stored& a, const Stored& b) { return RanksBefore({a.entry.points, a.id}, {b.entry.points, b.id}); });
    return entries;
}

std::vector<ScoreEntry> CollectRanks(const RankIndex& index, std::int64_t first, std::int64_t last) {
    std::vector<ScoreEntry> visited;
    index.VisitRanks(first, last, [&](const RankedEntry& entry) {
        visited.push_back({entry.points, std::string(entry.name), std::string(entry.date)});
    });
    return visited;
}

std::vector<ScoreEntry> EntriesOf(const std::vector<Stored>& ranked, std::int64_t first, std::int64_t last) {
    std::vector<ScoreEntry> entries;
    for (std::int64_t rank = std::max<std::int64_t>(first, 1);
         rank <= std::min<std::int64_t>(last, static_cast<std::int64_t>(ranked.size())); ++rank) {
        entries.push_back(ranked[static_cast<std::size_t>(rank - 1)].entry);
    }
    return entries;
}

// Places, ranges and the place of every key agree with a sorted list.
void ExpectAgreement(const RankIndex& index, const std::vector<Stored>& stored) {
    const std::vector<Stored> ranked = RankNaively(stored);
    const auto size = static_cast<std::int64_t>(ranked.size());
    ASSERT_EQ(index.CountEntries(), size);
    for (std::int32_t p = -22; p <= 22; ++p) {
        const auto at_least =
            std::count_if(ranked.begin(), ranked.end(), [p](const Stored& s) { return s.entry.points >= p; });
        EXPECT_EQ(index.FindPlace(p), at_least + 1) << p;
    }
    for (std::int64_t first : {std::int64_t{1}, std::int64_t{2}, size / 2, size - 10, size - 1}) {
        EXPECT_EQ(CollectRanks(index, first, first + 11), EntriesOf(ranked, first, first + 11)) << first;
    }
    for (std::size_t i = 0; i < ranked.size(); i += 97) {
        EXPECT_EQ(index.PlaceOf(ranked[i].entry.points, ranked[i].id), static_cast<std::int64_t>(i) + 1);
    }
    const std::int64_t from = std::max<std::int64_t>(size / 3, 1);
    std::int64_t next = from;
    index.VisitFrom(from, [&](std::int64_t place, const RankedEntry& entry) {
        EXPECT_EQ(place, next);
        EXPECT_EQ(entry.id, ranked[static_cast<std::size_t>(place - 1)].id);
        ++next;
        return true;
    });
    EXPECT_EQ(next, size + 1);
}

// Inserts and removals in random order, over enough entries that blocks split and empty.
TEST(RankIndex, AgreesWithASortedListThroughInsertsAndRemovals) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> points(-20, 20);  // many ties
    std::vector<Stored> stored;
    RankIndex index;
    for (std::int64_t id = 1; id <= 3000; ++id) {
        stored.push_back({id, {points(random), std::to_string(id), "01.01.25"}});
        index.Insert(id, stored.back().entry, 1700000000 + id);
    }
    ExpectAgreement(index, stored);

    std::shuffle(stored.begin(), stored.end(), random);
    for (int i = 0; i < 2000; ++i) {
        EXPECT_TRUE(index.Remove({stored.back().entry.points, stored.back().id}));
        stored.pop_back();
    }
    EXPECT_FALSE(index.Remove({0, 99999}));
    ExpectAgreement(index, stored);
}

TEST(RankIndex, BuildsFromEntriesInIdOrderAsInsertsWould) {
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> points(-20, 20);
    std::vector<Stored> stored;
    RankIndex index;
    std::vector<RankIndex::Loaded> loaded;
    for (std::int64_t id = 1; id <= 5000; ++id) {
        stored.push_back({id, {points(random), "N" + std::to_string(id), "02.02.25"}});
        loaded.push_back({id, stored.back().entry.points, index.texts().Append(stored.back().entry.name, "02.02.25", id)});
    }
    index.Build(std::move(loaded));
    ExpectAgreement(index, stored);
    // Inserted later, a new entry goes behind the equal points already there.
    index.Insert(5001, {20, "late", "03.02.25"}, 0);
    stored.push_back({5001, {20, "late", "03.02.25"}});
    ExpectAgreement(index, stored);
}

TEST(RankIndex, VisitsOnlyRanksThatExistAndKeepsTheTexts) {
    RankIndex index;
    EXPECT_EQ(index.FindPlace(0), 1);
    EXPECT_EQ(CollectRanks(index, 1, 9).size(), 0u);
    index.Insert(1, {10, "a", "d"}, 0);
    index.Insert(2, {10, std::string(300, 'x'), "01.01.25"}, 1700000000);
    EXPECT_EQ(CollectRanks(index, -3, 0).size(), 0u);
    EXPECT_EQ(CollectRanks(index, 3, 9).size(), 0u);
    index.VisitRanks(2, 2, [](const RankedEntry& entry) {
        EXPECT_EQ(entry.id, 2);
        EXPECT_EQ(entry.name, std::string(255, 'x'));  // only a hand-edited name is that long
        EXPECT_EQ(entry.date, "01.01.25");
        EXPECT_EQ(entry.stored_at, 1700000000);
    });
    EXPECT_TRUE(index.Remove({10, 1}));
    EXPECT_TRUE(index.Remove({10, 2}));
    EXPECT_EQ(index.CountEntries(), 0);
    index.Insert(3, {5, "b", "d"}, 0);
    EXPECT_EQ(CollectRanks(index, 1, 1), (std::vector<ScoreEntry>{{5, "b", "d"}}));
}

}  // namespace
}  // namespace zorblet::server
