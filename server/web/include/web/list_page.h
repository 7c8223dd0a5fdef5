#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/list_rows.h"
#include "web/score_chart.h"

namespace zorblet::server {

// Where a page's links point: the list itself, and its stylesheet and icon with their
// versions.
struct PageLinks {
    std::string base;  // the service's base path, e.g. "/"
    std::string stylesheet;
    std::string icon;
};

// Which part of the list a page shows.
enum class PageView {
    Places,  // 100 places from a given one on
    Score,   // the rows around the place a score would take
    Names,   // the entries whose names begin with a text
};

// Everything a page of the list shows, read from one view of it.
struct ListPage {
    PageView view = PageView::Places;
    std::int64_t total = 0;
    std::int64_t first = 1;     // Places: the place asked for
    std::int32_t points = 0;    // Score: the score asked about
    std::int64_t place = 0;     // Score: the place it would take
    std::string name;           // Names: the beginning asked for, UTF-8
    std::int64_t matches = 0;   // Names: the entries with such names
    std::vector<ListRow> rows;
    std::optional<std::int64_t> previous;  // the places the paging links start at
    std::optional<std::int64_t> next;
    ScoreDistribution distribution;
    std::optional<ScoreMark> mark;
    std::vector<ListRow> newest;
    bool verified_only = false;  // the verified entries alone, ranked among themselves
};

// The page in German, UTF-8, for players: the list as a table, the two forms, paging
// links, the chart of the scores and the newest entries. It needs no script and loads
// nothing but the stylesheet and the icon from this service.
std::string RenderListPage(const ListPage& page, const PageLinks& links);

// A short page saying what was wrong with the request, with a link back to the list.
std::string RenderErrorPage(std::string_view message, const PageLinks& links);

// A page's head in the list's look and the start of its body, up to the header's heading;
// `more_head` (HTML) goes into the head after the stylesheet and the icon.
void AppendPageHead(std::string& html, std::string_view title, const PageLinks& links, std::string_view more_head);

// The link to the page of places from `first` on; the list itself for place 1.
std::string LinkToPlace(const std::string& base, std::int64_t first);

}  // namespace zorblet::server
