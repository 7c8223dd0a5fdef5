#include "store/sqlite/rank_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/cp1252.h"

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

// An index built from `stored` (in id order) as the board builds it at start.
RankIndex BuildIndex(const std::vector<Stored>& stored) {
    RankIndex index;
    std::vector<RankIndex::Loaded> loaded;
    for (const Stored& s : stored) {
        loaded.push_back({s.id, s.entry.points, index.texts().Append(s.entry.name, s.entry.date, s.id)});
    }
    index.Build(std::move(loaded));
    return index;
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
    for (std::int64_t id = 1; id <= 5000; ++id) stored.push_back({id, {points(random), "N" + std::to_string(id), "02.02.25"}});
    RankIndex index = BuildIndex(stored);
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

// Names from a few letters in both cases (umlauts and Windows-1252 capitals among them),
// so that many share a beginning and blocks hold long runs of one prefix.
std::string RandomName(std::mt19937& random) {
    static const std::string letters = "aAbB\xE4\xC4\x9A\x8A\xDF";  // a A b B ä Ä š Š ß
    std::uniform_int_distribution<std::size_t> length(1, 6);
    std::uniform_int_distribution<std::size_t> letter(0, letters.size() - 1);
    std::string name;
    for (std::size_t n = length(random); name.size() < n;) name += letters[letter(random)];
    return name;
}

// The ids of the first `limit` entries whose names begin with `prefix`, with their
// places, the slow way; and as the index gives them.
std::vector<std::pair<std::int64_t, std::int64_t>> SearchNaively(const std::vector<Stored>& ranked,
                                                                 const std::string& prefix, std::size_t limit,
                                                                 std::int64_t& count) {
    std::vector<std::pair<std::int64_t, std::int64_t>> found;
    count = 0;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        if (!platform::StartsWithIgnoringCase(ranked[i].entry.name, prefix)) continue;
        ++count;
        if (found.size() < limit) found.emplace_back(static_cast<std::int64_t>(i) + 1, ranked[i].id);
    }
    return found;
}

std::vector<std::pair<std::int64_t, std::int64_t>> Search(const RankIndex& index, const std::string& prefix,
                                                          std::size_t limit, std::int64_t& count) {
    std::vector<std::pair<std::int64_t, std::int64_t>> found;
    count = index.VisitNamesStartingWith(prefix, limit, [&](std::int64_t place, const RankedEntry& entry) {
        found.emplace_back(place, entry.id);
        return true;
    });
    return found;
}

void ExpectSearchesAgree(const RankIndex& index, const std::vector<Stored>& stored) {
    const std::vector<Stored> ranked = RankNaively(stored);
    for (const std::string prefix : {"", "a", "A", "\xC4", "\xE4\xC4", "\x8A", "\x9A" "b", "ab", "BaB", "\xDF", "aAbBa",
                                     "z", "aaaaaaa"}) {
        for (std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{100}, ranked.size()}) {
            std::int64_t expected_count = 0;
            std::int64_t count = 0;
            const auto expected = SearchNaively(ranked, prefix, limit, expected_count);
            EXPECT_EQ(Search(index, prefix, limit, count), expected) << "prefix " << prefix << ", limit " << limit;
            EXPECT_EQ(count, expected_count) << "prefix " << prefix;
        }
    }
}

TEST(RankIndex, FindsNamesByTheirBeginningInPlaceOrderThroughInsertsRemovalsAndBuilds) {
    std::mt19937 random(23);
    std::uniform_int_distribution<std::int32_t> points(-50, 50);
    std::vector<Stored> stored;
    for (std::int64_t id = 1; id <= 4000; ++id) stored.push_back({id, {points(random), RandomName(random), "01.01.25"}});
    ExpectSearchesAgree(BuildIndex(stored), stored);

    RankIndex index;
    for (const Stored& s : stored) index.Insert(s.id, s.entry, 0);
    std::shuffle(stored.begin(), stored.end(), random);
    for (int i = 0; i < 2500; ++i) {
        ASSERT_TRUE(index.Remove({stored.back().entry.points, stored.back().id}));
        stored.pop_back();
    }
    ExpectSearchesAgree(index, stored);
}

TEST(RankIndex, ANameSearchTakesTheFirstTwentyFourCharactersAndNoZeroByte) {
    RankIndex index;
    const std::string long_name(24, 'x');
    index.Insert(1, {10, long_name, "d"}, 0);
    index.Insert(2, {20, long_name + "yz", "d"}, 0);  // longer only by hand
    index.Insert(3, {30, "x", "d"}, 0);
    std::int64_t count = 0;
    EXPECT_EQ(Search(index, long_name, 10, count), (std::vector<std::pair<std::int64_t, std::int64_t>>{{2, 2}, {3, 1}}));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(Search(index, long_name + "y", 10, count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Search(index, std::string("x\0", 2), 10, count).empty());  // "x" padded would match it
    EXPECT_EQ(count, 0);
}

std::vector<std::pair<std::int64_t, std::int64_t>> Newest(const RankIndex& index) {
    std::vector<std::pair<std::int64_t, std::int64_t>> newest;
    index.VisitNewest([&](std::int64_t place, const RankedEntry& entry) {
        newest.emplace_back(entry.id, place);
        return true;
    });
    return newest;
}

TEST(RankIndex, KeepsTheNewestEntriesWithTheirPlacesAndMovesTheVersionOnEveryChange) {
    RankIndex index;
    EXPECT_TRUE(Newest(index).empty());
    std::vector<RankIndex::Loaded> loaded;
    for (std::int64_t id = 1; id <= 12; ++id) {
        loaded.push_back({id, static_cast<std::int32_t>(id * 10), index.texts().Append("n", "d", 0)});
    }
    index.Build(std::move(loaded));
    index.StartVersionAt(100);
    // Ids 12..3, newest first; more points rank higher, so id 12 is first.
    std::vector<std::pair<std::int64_t, std::int64_t>> expected;
    for (std::int64_t id = 12; id >= 3; --id) expected.emplace_back(id, 13 - id);
    EXPECT_EQ(Newest(index), expected);

    index.Insert(13, {0, "new", "d"}, 0);  // last place
    EXPECT_EQ(index.Version(), 101u);
    expected.insert(expected.begin(), {13, 13});
    expected.pop_back();
    EXPECT_EQ(Newest(index), expected);

    ASSERT_TRUE(index.Remove({120, 12}));  // first place
    EXPECT_EQ(index.Version(), 102u);
    EXPECT_FALSE(index.Remove({120, 12}));
    EXPECT_EQ(index.Version(), 102u);
    const std::vector<std::pair<std::int64_t, std::int64_t>> after_removal = Newest(index);
    ASSERT_EQ(after_removal.size(), 9u);
    EXPECT_EQ(after_removal[0], (std::pair<std::int64_t, std::int64_t>{13, 12}));
    EXPECT_EQ(after_removal[1], (std::pair<std::int64_t, std::int64_t>{11, 1}));  // moved up

    // A restored entry is not taken for a new one: the owner says where it goes.
    index.Insert(12, {120, "n", "d"}, 0);
    const std::vector<std::pair<std::int64_t, std::int64_t>> after_restore = Newest(index);
    ASSERT_EQ(after_restore.size(), 9u);
    EXPECT_EQ(after_restore[0], (std::pair<std::int64_t, std::int64_t>{13, 13}));
    EXPECT_EQ(after_restore[1], (std::pair<std::int64_t, std::int64_t>{11, 2}));
    index.SetNewest({{0, 13}, {120, 12}});
    EXPECT_EQ(Newest(index), (std::vector<std::pair<std::int64_t, std::int64_t>>{{13, 13}, {12, 1}}));
}

}  // namespace
}  // namespace zorblet::server
