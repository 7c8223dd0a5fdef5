#include "web/score_chart.h"

#include <algorithm>
#include <limits>


namespace zorblet::server {

namespace {

// The drawing in SVG user units: bars from BarTop down to BarBottom, labels beneath.
constexpr std::int64_t ChartWidth = 600;
constexpr std::int64_t BarTop = 8;
constexpr std::int64_t BarBottom = 168;
constexpr std::int64_t LabelBaseline = 192;

// Entries with at least each of `bounds` (any 64-bit numbers), asked of the view at once.
std::vector<std::int64_t> CountAtLeast(const RankedView& view, const std::vector<std::int64_t>& bounds) {
    std::vector<std::int32_t> asked;
    for (std::int64_t bound : bounds) {
        if (bound >= std::numeric_limits<std::int32_t>::min() && bound <= std::numeric_limits<std::int32_t>::max()) {
            asked.push_back(static_cast<std::int32_t>(bound));
        }
    }
    const std::vector<std::int64_t> places = view.FindPlaces(asked);
    std::vector<std::int64_t> counts;
    std::size_t next = 0;
    for (std::int64_t bound : bounds) {
        if (bound > std::numeric_limits<std::int32_t>::max()) {
            counts.push_back(0);
        } else if (bound < std::numeric_limits<std::int32_t>::min()) {
            counts.push_back(view.CountEntries());
        } else {
            counts.push_back(places.at(next++) - 1);
        }
    }
    return counts;
}

std::int64_t PointsAtPlace(const RankedView& view, std::int64_t place) {
    std::int64_t points = 0;
    view.VisitRanks(place, place, [&](const RankedEntry& entry) { points = entry.points; });
    return points;
}

std::int64_t FloorDivide(std::int64_t dividend, std::int64_t divisor) {
    const std::int64_t quotient = dividend / divisor;
    return dividend % divisor != 0 && dividend < 0 ? quotient - 1 : quotient;
}

// The smallest round width that covers low..high in at most MaxScoreBars bars.
std::int64_t ChooseBarWidth(std::int64_t low, std::int64_t high) {
    for (std::int64_t power = 1;; power *= 10) {
        for (std::int64_t multiple : {1, 2, 5}) {
            const std::int64_t width = multiple * power;
            if (FloorDivide(high, width) - FloorDivide(low, width) + 1 <= static_cast<std::int64_t>(MaxScoreBars)) {
                return width;
            }
        }
    }
}

// A length in tenths of a unit as SVG wants it: "12.3".
void AppendTenths(std::string& out, std::int64_t tenths) {
    out += std::to_string(tenths / 10);
    if (tenths % 10 != 0) out.append(".").append(std::to_string(tenths % 10));
}

void AppendAttribute(std::string& out, std::string_view name, std::int64_t tenths) {
    out.append(" ").append(name).append("=\"");
    AppendTenths(out, tenths);
    out += '"';
}

std::string EntriesText(std::int64_t entries) {
    return std::to_string(entries) + (entries == 1 ? " Eintrag" : " Einträge");
}

// The bar a score falls into; scores beyond the list's fall into its first or last bar.
std::size_t FindBar(const std::vector<ScoreBar>& bars, std::int64_t points) {
    const auto bar = std::find_if(bars.begin(), bars.end(), [&](const ScoreBar& b) { return points <= b.high; });
    return bar == bars.end() ? bars.size() - 1 : static_cast<std::size_t>(bar - bars.begin());
}

void AppendBars(std::string& svg, const std::vector<ScoreBar>& bars, std::optional<std::size_t> marked) {
    std::int64_t most = 1;
    for (const ScoreBar& bar : bars) most = std::max(most, bar.entries);
    const auto slot = ChartWidth * 10 / static_cast<std::int64_t>(bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const ScoreBar& bar = bars[i];
        std::int64_t height = bar.entries * (BarBottom - BarTop) * 10 / most;
        if (bar.entries > 0) height = std::max<std::int64_t>(height, 10);  // a bar of one entry still shows
        svg += marked == i ? "<rect class=\"balken markiert\"" : "<rect class=\"balken\"";
        AppendAttribute(svg, "x", static_cast<std::int64_t>(i) * slot + 10);
        AppendAttribute(svg, "y", BarBottom * 10 - height);
        AppendAttribute(svg, "width", slot - 20);
        AppendAttribute(svg, "height", height);
        svg += "><title>" + std::to_string(bar.low) + " bis " + std::to_string(bar.high) +
               " Punkte: " + EntriesText(bar.entries) + "</title></rect>";
    }
}

// A line where the score stands inside its bar.
void AppendMarkLine(std::string& svg, const std::vector<ScoreBar>& bars, std::size_t bar, std::int64_t points) {
    const ScoreBar& range = bars[bar];
    const std::int64_t inside = std::clamp(points, range.low, range.high) - range.low;
    const auto slot = ChartWidth * 10 / static_cast<std::int64_t>(bars.size());
    const std::int64_t x = static_cast<std::int64_t>(bar) * slot +
                           static_cast<std::int64_t>(static_cast<double>(slot) * static_cast<double>(inside) /
                                                     static_cast<double>(range.high - range.low + 1));
    svg += "<line class=\"marke\"";
    AppendAttribute(svg, "x1", x);
    AppendAttribute(svg, "x2", x);
    AppendAttribute(svg, "y1", 0);
    AppendAttribute(svg, "y2", BarBottom * 10);
    svg += "/>";
}

void AppendLabels(std::string& svg, const std::vector<ScoreBar>& bars) {
    svg += "<text class=\"achse\" x=\"0\" y=\"" + std::to_string(LabelBaseline) + "\">" +
           std::to_string(bars.front().low) + "</text>";
    svg += "<text class=\"achse\" x=\"" + std::to_string(ChartWidth) + "\" y=\"" + std::to_string(LabelBaseline) +
           "\" text-anchor=\"end\">" + std::to_string(bars.back().high) + "</text>";
}

}  // namespace

ScoreDistribution ReadScoreDistribution(const RankedView& view) {
    ScoreDistribution distribution;
    distribution.total = view.CountEntries();
    if (distribution.total == 0) return distribution;
    const std::int64_t outer = distribution.total / 100;  // entries in each outer percent
    const std::int64_t lowest = PointsAtPlace(view, distribution.total);
    const std::int64_t highest = PointsAtPlace(view, 1);
    const std::int64_t low = PointsAtPlace(view, distribution.total - outer);
    const std::int64_t high = PointsAtPlace(view, 1 + outer);
    const std::int64_t width = ChooseBarWidth(low, high);
    const std::int64_t first = FloorDivide(low, width);
    const std::int64_t last = FloorDivide(high, width);
    std::vector<std::int64_t> bounds;
    for (std::int64_t k = first; k <= last; ++k) {
        const ScoreBar bar{k == first ? lowest : k * width, k == last ? highest : (k + 1) * width - 1, 0};
        distribution.bars.push_back(bar);
        bounds.push_back(bar.low);
        bounds.push_back(bar.high + 1);
    }
    const std::vector<std::int64_t> counts = CountAtLeast(view, bounds);
    for (std::size_t b = 0; b < distribution.bars.size(); ++b) {
        distribution.bars[b].entries = counts[2 * b] - counts[2 * b + 1];
    }
    return distribution;
}

ScoreMark MarkScore(const RankedView& view, std::int32_t points) {
    return {points, view.CountEntries() - (view.FindPlace(points) - 1)};
}

std::string FormatShare(std::int64_t part, std::int64_t whole) {
    const std::int64_t tenths = whole > 0 ? part * 1000 / whole : 0;
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
}

void AppendScoreChart(std::string& html, const ScoreDistribution& distribution, const std::optional<ScoreMark>& mark) {
    if (distribution.bars.empty()) {
        html += "<p>Noch keine Einträge.</p>";
        return;
    }
    const std::optional<std::size_t> marked =
        mark ? std::optional<std::size_t>(FindBar(distribution.bars, mark->points)) : std::nullopt;
    html += "<svg class=\"diagramm\" viewBox=\"0 0 600 200\" role=\"img\" aria-label=\"Balkendiagramm: ";
    html += EntriesText(distribution.total) + " nach Punkten, von " + std::to_string(distribution.bars.front().low) +
            " bis " + std::to_string(distribution.bars.back().high) + "\">";
    AppendBars(html, distribution.bars, marked);
    if (mark) AppendMarkLine(html, distribution.bars, *marked, mark->points);
    AppendLabels(html, distribution.bars);
    html += "</svg>";
    if (mark) {
        html += "<p class=\"anteil\">Mit " + std::to_string(mark->points) + " Punkten lägst du vor " +
                FormatShare(mark->beaten, distribution.total) + " % aller Einträge.</p>";
    }
}

}  // namespace zorblet::server
