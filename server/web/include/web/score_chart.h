#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/score_board.h"

namespace zorblet::server {

// The entries with points from `low` to `high`.
struct ScoreBar {
    std::int64_t low = 0;
    std::int64_t high = 0;
    std::int64_t entries = 0;

    bool operator==(const ScoreBar&) const = default;
};

// How the scores are spread: at most MaxScoreBars bars of one width, a round number
// (1, 2 or 5 times a power of ten), over the scores from the lowest to the highest. On a
// list of a hundred entries or more, the bars span the middle 98 %, and the first and
// last bar take in the lowest and the highest percent too, so that a few far-off scores
// do not squeeze all others into one bar.
struct ScoreDistribution {
    std::int64_t total = 0;
    std::vector<ScoreBar> bars;  // in rising points; empty when the list is
};
constexpr std::size_t MaxScoreBars = 20;

// Counts each bar from the places its edges would take, so the figures are those of the
// list as it is now, without a look at its entries.
ScoreDistribution ReadScoreDistribution(const RankedView& view);

// A score to mark in the chart, and how many entries have fewer points.
struct ScoreMark {
    std::int32_t points = 0;
    std::int64_t beaten = 0;
};
ScoreMark MarkScore(const RankedView& view, std::int32_t points);

// The chart as inline SVG (classes only, no styles: the page's stylesheet draws it), and
// below it a sentence on the marked score's share.
void AppendScoreChart(std::string& html, const ScoreDistribution& distribution, const std::optional<ScoreMark>& mark);

// The share of `part` in `whole` in per cent, rounded down to tenths, German style: "73,2".
std::string FormatShare(std::int64_t part, std::int64_t whole);

}  // namespace zorblet::server
