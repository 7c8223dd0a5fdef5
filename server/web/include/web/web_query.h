#pragma once
// The query parameters of the web pages and the JSON API, checked: a typed request, or
// what was wrong, in German for the page's readers and in English for the API's programmers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "web/list_page.h"

namespace zorblet::server {

// A name search as typed (UTF-8) and as names are stored (Windows-1252); no stored name
// can begin with a text the code page cannot hold.
struct NameSearch {
    std::string typed;
    std::optional<std::string> stored;
};

// A page: at most one of ab=PLACE, punkte=POINTS and name=TEXT; none (or an empty name,
// as an empty form sends) is the first page. Other parameters are ignored, as links
// passed around pick some up.
struct PageQuery {
    PageView view = PageView::Places;
    std::int64_t first = 1;
    std::int32_t points = 0;
    NameSearch name;
};

// api/v1/scores?from=N&count=M, api/v1/place?points=N, api/v1/search?name=TEXT.
struct ScoresQuery {
    std::int64_t from = 1;
    std::int64_t count = 100;
};
struct PlaceQuery {
    std::int32_t points = 0;
};
struct SearchQuery {
    NameSearch name;
};

template <typename Query>
struct Checked {
    std::optional<Query> query;
    std::string problem;  // one sentence when there is no query
};

Checked<PageQuery> CheckPageQuery(std::string_view query);
Checked<ScoresQuery> CheckScoresQuery(std::string_view query);
Checked<PlaceQuery> CheckPlaceQuery(std::string_view query);
Checked<SearchQuery> CheckSearchQuery(std::string_view query);

// The API's limits on count.
constexpr std::int64_t DefaultScoresCount = 100;
constexpr std::int64_t MaxScoresCount = 1000;

}  // namespace zorblet::server
