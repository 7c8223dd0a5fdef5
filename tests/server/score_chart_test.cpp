// The chart's figures come from the places of the bars' edges: they must agree with a count
// of the entries, for ties, negative points and far-off scores alike.

#include "web/score_chart.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "store/sqlite/rank_index.h"

namespace zorblet::server {
namespace {

RankIndex IndexOf(const std::vector<std::int32_t>& points) {
    RankIndex index;
    std::int64_t id = 0;
    for (std::int32_t p : points) index.Insert(++id, {p, "n", "01.01.25"}, 0);
    return index;
}

// Each bar counts exactly the entries between its bounds; together they cover the list.
void ExpectBarsCount(const ScoreDistribution& distribution, const std::vector<std::int32_t>& points) {
    ASSERT_FALSE(distribution.bars.empty());
    ASSERT_LE(distribution.bars.size(), MaxScoreBars);
    EXPECT_EQ(distribution.bars.front().low, *std::min_element(points.begin(), points.end()));
    EXPECT_EQ(distribution.bars.back().high, *std::max_element(points.begin(), points.end()));
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < distribution.bars.size(); ++i) {
        const ScoreBar& bar = distribution.bars[i];
        if (i > 0) {
            EXPECT_EQ(bar.low, distribution.bars[i - 1].high + 1);
        }
        const auto inside = std::count_if(points.begin(), points.end(),
                                          [&](std::int32_t p) { return p >= bar.low && p <= bar.high; });
        EXPECT_EQ(bar.entries, inside) << bar.low << ".." << bar.high;
        sum += bar.entries;
    }
    EXPECT_EQ(sum, static_cast<std::int64_t>(points.size()));
    EXPECT_EQ(distribution.total, static_cast<std::int64_t>(points.size()));
}

TEST(ScoreChart, BarsOfOneRoundWidthCountTheEntriesBetweenTheirBounds) {
    const std::vector<std::int32_t> points{5, 17, 17, 23, 250, 251, 999};
    const ScoreDistribution distribution = ReadScoreDistribution(IndexOf(points));
    ExpectBarsCount(distribution, points);
    ASSERT_EQ(distribution.bars.size(), 20u);  // 50 wide: 5..49, 50..99, ..., 950..999
    EXPECT_EQ(distribution.bars[0], (ScoreBar{5, 49, 4}));
    EXPECT_EQ(distribution.bars[5], (ScoreBar{250, 299, 2}));

    const std::vector<std::int32_t> negative{-1, -7, -7, -30};  // 2 wide, rounding towards minus infinity
    const ScoreDistribution below_zero = ReadScoreDistribution(IndexOf(negative));
    ExpectBarsCount(below_zero, negative);
    EXPECT_EQ(below_zero.bars.size(), 15u);
    EXPECT_EQ(below_zero.bars[11], (ScoreBar{-8, -7, 2}));

    const ScoreDistribution one = ReadScoreDistribution(IndexOf({42}));
    EXPECT_EQ(one.bars, (std::vector<ScoreBar>{{42, 42, 1}}));
    EXPECT_TRUE(ReadScoreDistribution(RankIndex()).bars.empty());
}

TEST(ScoreChart, TheOuterBarsTakeInTheFewFarOffScores) {
    std::vector<std::int32_t> points;
    for (std::int32_t p = 100; p < 300; ++p) points.push_back(p);
    points.push_back(2'000'000'000);
    points.push_back(-2'000'000'000);
    const ScoreDistribution distribution = ReadScoreDistribution(IndexOf(points));
    ExpectBarsCount(distribution, points);
    ASSERT_EQ(distribution.bars.size(), 20u);  // 10 wide over the middle, not one bar for all
    EXPECT_EQ(distribution.bars.front(), (ScoreBar{-2'000'000'000, 109, 11}));
    EXPECT_EQ(distribution.bars[1], (ScoreBar{110, 119, 10}));
    EXPECT_EQ(distribution.bars.back(), (ScoreBar{290, 2'000'000'000, 11}));
}

TEST(ScoreChart, AMarkedScoreBeatsTheEntriesWithFewerPoints) {
    const RankIndex index = IndexOf({10, 20, 20, 30});
    EXPECT_EQ(MarkScore(index, 20).beaten, 1);  // ties are not beaten
    EXPECT_EQ(MarkScore(index, 21).beaten, 3);
    EXPECT_EQ(MarkScore(index, -5).beaten, 0);
    EXPECT_EQ(MarkScore(index, 2'147'483'647).beaten, 4);
    const std::vector<std::tuple<std::int64_t, std::int64_t, std::string>> shares{
        {999, 1000, "99,9"}, {9999, 10000, "99,9"}, {1, 3, "33,3"}, {2, 3, "66,6"}, {5, 5, "100,0"}, {0, 0, "0,0"}};
    for (const auto& [part, whole, text] : shares) EXPECT_EQ(FormatShare(part, whole), text) << part << "/" << whole;

    std::string html;
    AppendScoreChart(html, ReadScoreDistribution(index), MarkScore(index, 25));
    EXPECT_EQ(std::count(html.begin(), html.end(), '\n'), 0);
    EXPECT_EQ(html.find("<rect class=\"balken markiert\""), html.rfind("<rect class=\"balken markiert\""));
    const std::size_t marked = html.find("<rect class=\"balken markiert\"");  // bars 2 wide from 10
    EXPECT_EQ(html.find("<title>24 bis 25 Punkte: 0 Einträge</title>"), html.find("<title>", marked)) << html;
    EXPECT_NE(html.find("<line class=\"marke\""), std::string::npos);
    EXPECT_NE(html.find("Mit 25 Punkten lägst du vor 75,0 % aller Einträge."), std::string::npos);
    std::string empty;
    AppendScoreChart(empty, ReadScoreDistribution(RankIndex()), std::nullopt);
    EXPECT_EQ(empty, "<p>Noch keine Einträge.</p>");
}

}  // namespace
}  // namespace zorblet::server
