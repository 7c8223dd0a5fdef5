#include "web/web_service.h"

#include <algorithm>
#include <array>

#include "query/query.h"
#include "web/score_chart.h"
#include "web/web_api.h"
#include "web/web_assets.h"
#include "web/web_query.h"
#include "web/web_text.h"

namespace zorblet::server {

namespace {

// Pages load nothing but the stylesheet and the icon from here, run no script and may
// not be framed.
constexpr const char* PagePolicy =
    "default-src 'none'; style-src 'self'; img-src 'self' data:; form-action 'self'; frame-ancestors 'none'; "
    "base-uri 'none'";
// A game's page runs the viewer: its scripts, and the WebAssembly module they compile, come
// from here, as do the record, the module and the atlas they fetch; nothing is inline.
constexpr const char* GamePagePolicy =
    "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";
constexpr const char* AssetPolicy = "default-src 'none'; frame-ancestors 'none'";
constexpr const char* HtmlType = "text/html; charset=utf-8";
constexpr const char* JsonType = "application/json";
// The list changes with every score: a page or reply is used for a few seconds at most,
// and asking again after that costs a 304 while the list stays as it was.
constexpr const char* ListCaching = "max-age=10";
// An asset linked with its version never changes under that link.
constexpr const char* VersionedAssetCaching = "public, max-age=31536000, immutable";
constexpr const char* AssetCaching = "public, max-age=86400";
constexpr std::int64_t PageRows = 100;
constexpr std::int64_t RowsAroundScore = 10;

std::string QuoteTag(std::string_view value) {
    std::string tag(1, '"');
    tag.append(value).push_back('"');
    return tag;
}

std::string VersionTag(std::uint64_t version) {
    std::array<char, 17> hex{};
    std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(version));
    return QuoteTag(hex.data());
}

// Whether an If-None-Match value names `tag` (compared weakly, as for a GET) or is "*".
bool MatchesTag(std::string_view header, std::string_view tag) {
    while (!header.empty()) {
        const std::size_t comma = std::min(header.find(','), header.size());
        std::string_view item = header.substr(0, comma);
        header.remove_prefix(std::min(comma + 1, header.size()));
        item.remove_prefix(std::min(item.find_first_not_of(" \t"), item.size()));
        item = item.substr(0, item.find_last_not_of(" \t") + 1);
        if (item.starts_with("W/")) item.remove_prefix(2);
        if (item == "*" || item == tag) return true;
    }
    return false;
}

Reply MakeReply(int status, const char* content_type, std::string body) {
    Reply reply;
    reply.status = status;
    reply.content_type = content_type;
    reply.body = std::move(body);
    reply.headers = {{"X-Content-Type-Options", "nosniff"}};
    return reply;
}

Reply MakePageReply(int status, std::string body) {
    Reply reply = MakeReply(status, HtmlType, std::move(body));
    reply.headers.emplace_back("Content-Security-Policy", PagePolicy);
    reply.headers.emplace_back("Referrer-Policy", "no-referrer");
    return reply;
}

Reply MakeGamePageReply(std::string body) {
    Reply reply = MakeReply(200, HtmlType, std::move(body));
    reply.headers.emplace_back("Content-Security-Policy", GamePagePolicy);
    reply.headers.emplace_back("Referrer-Policy", "no-referrer");
    return reply;
}

Reply MakeApiReply(int status, std::string body) {
    Reply reply = MakeReply(status, JsonType, std::move(body));
    reply.headers.emplace_back("Access-Control-Allow-Origin", "*");
    return reply;
}

// Marks `reply` with its tag and caching, and as a 304 when the request holds the tag
// already. A 304 still gets the body a 200 would have: the front sends none, but a 304's
// Content-Length must be that body's length.
void MarkCacheable(Reply& reply, const Request& request, const std::string& tag, const char* caching) {
    reply.headers.emplace_back("ETag", tag);
    reply.headers.emplace_back("Cache-Control", caching);
    if (MatchesTag(request.if_none_match, tag)) reply.status = 304;
}

// A 405 of a page or the API, which take the read methods only.
Reply AllowingReads(Reply refusal) {
    refusal.allow = ReadMethods;
    return refusal;
}

void SetPaging(ListPage& page, std::int64_t first_shown, std::int64_t last_shown) {
    if (first_shown > 1 && page.total > 0) {
        page.previous = std::max<std::int64_t>(1, std::min(first_shown, page.total + 1) - PageRows);
    }
    if (last_shown < page.total) page.next = last_shown + 1;
}

ListPage ReadListPage(const RankedView& view, const PageQuery& query) {
    ListPage page;
    page.view = query.view;
    page.total = view.CountEntries();
    switch (query.view) {
        case PageView::Places:
            page.first = query.first;
            page.rows = ReadRowsFrom(view, query.first, PageRows);
            SetPaging(page, query.first, query.first + PageRows - 1);
            break;
        case PageView::Score:
            page.points = query.points;
            page.place = view.FindPlace(query.points);
            page.rows = ReadRowsAroundScore(view, query.points, RowsAroundScore);
            page.mark = MarkScore(view, query.points);
            SetPaging(page, std::max<std::int64_t>(1, page.place - RowsAroundScore), page.place + RowsAroundScore - 1);
            break;
        case PageView::Names:
            page.name = query.name.typed;
            if (query.name.stored) {
                NameMatches matches = ReadNameMatches(view, *query.name.stored, PageRows);
                page.matches = matches.count;
                page.rows = std::move(matches.rows);
            }
            break;
    }
    page.distribution = ReadScoreDistribution(view);
    page.newest = ReadNewestRows(view);
    return page;
}

// A static file: cached for a year under a link with its version, for a day under any
// other, since it is still this file.
Reply MakeVersionedFileReply(const Request& request, std::string_view query, const char* content_type,
                             std::string_view version, std::string_view body) {
    Reply reply = MakeReply(200, content_type, {});
    reply.headers.emplace_back("Content-Security-Policy", AssetPolicy);
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const bool versioned = parameters && FindSingleValue(*parameters, "v").value == std::string(version);
    MarkCacheable(reply, request, QuoteTag(version), versioned ? VersionedAssetCaching : AssetCaching);
    reply.body = std::string(body);
    return reply;
}

}  // namespace

WebService::WebService(const ScoreBoard& board, std::string base_path, WatchSetup watch)
    : board_(board),
      base_(std::move(base_path)),
      links_{base_, base_ + "zorblet.css?v=" + std::string(StylesheetVersion),
             base_ + "zorblet.svg?v=" + std::string(IconVersion)},
      watch_(watch) {}

WebService::Resource WebService::FindResource(std::string_view path) const {
    if (path == base_) return Resource::Page;
    if (base_.size() > 1 && path == std::string_view(base_).substr(0, base_.size() - 1)) return Resource::BaseWithoutSlash;
    if (!path.starts_with(base_)) return Resource::None;
    const std::string_view rest = path.substr(base_.size());
    if (rest == "zorblet.css") return Resource::Stylesheet;
    if (rest == "zorblet.svg") return Resource::Icon;
    if (rest == "api/v1/scores") return Resource::Scores;
    if (rest == "api/v1/place") return Resource::Place;
    if (rest == "api/v1/search") return Resource::Search;
    if (rest.starts_with("partie/")) return Resource::Game;
    if (watch_.files != nullptr && watch_.files->Find(rest) != nullptr) return Resource::ViewerFile;
    return Resource::None;
}

std::optional<WebRequest> WebService::FindRequest(std::string_view path) const {
    switch (FindResource(path)) {
        case Resource::None:
            return std::nullopt;
        case Resource::BaseWithoutSlash:
        case Resource::Page:
        case Resource::Game:
            return WebRequest::Page;
        case Resource::Stylesheet:
        case Resource::Icon:
        case Resource::ViewerFile:
            return WebRequest::Static;
        case Resource::Scores:
        case Resource::Place:
        case Resource::Search:
            break;
    }
    return WebRequest::Api;
}

std::optional<Reply> WebService::Answer(const Request& request) const {
    const RequestTarget target = SplitTarget(request.target);
    const Resource resource = FindResource(target.path);
    switch (resource) {
        case Resource::None:
            return std::nullopt;
        case Resource::BaseWithoutSlash:
            return AnswerMoved(request, target.query);
        case Resource::Page:
            return AnswerPage(request, target.query);
        case Resource::Stylesheet:
        case Resource::Icon:
            return AnswerAsset(resource, request, target.query);
        case Resource::Game:
            return AnswerGamePage(request, target.path);
        case Resource::ViewerFile:
            return AnswerViewerFile(request, target.path, target.query);
        default:
            return AnswerApi(resource, request, target.query);
    }
}

// The page's address without its final slash leads to the page, for a read; the query
// goes along, encoded where the client sent bytes a URI does not hold.
Reply WebService::AnswerMoved(const Request& request, std::string_view query) const {
    if (!IsReadMethod(request.method)) return AllowingReads(RefusePage(405, "Diese Adresse lässt sich nur abrufen."));
    Reply moved = MakePageReply(301, RenderErrorPage("Die Bestenliste ist umgezogen.", links_));
    moved.headers.emplace_back("Location", query.empty() ? base_ : base_ + "?" + EncodeQueryForUri(query));
    return moved;
}

// `parameter`=1 asks for the verified entries alone; anything else, or none, for all.
Listing WebService::FindListing(std::string_view query, std::string_view parameter) {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const bool verified = parameters && FindSingleValue(*parameters, parameter).value == std::string("1");
    return verified ? Listing::Verified : Listing::All;
}

Reply WebService::RefusePage(int status, std::string_view message) const {
    return MakePageReply(status, RenderErrorPage(message, links_));
}

Reply WebService::AnswerPage(const Request& request, std::string_view query) const {
    if (!IsReadMethod(request.method)) return AllowingReads(RefusePage(405, "Diese Adresse lässt sich nur abrufen."));
    const Checked<PageQuery> checked = CheckPageQuery(query);
    if (!checked.query) return RefusePage(400, "Ungültige Anfrage: " + checked.problem);
    Reply reply = MakePageReply(200, {});
    const Listing listing = FindListing(query, "geprueft");
    ListPage page;
    try {
        board_.ReadRanking(listing, [&](const RankedView& view) {
            MarkCacheable(reply, request, VersionTag(view.Version()), ListCaching);
            page = ReadListPage(view, *checked.query);
            page.verified_only = listing == Listing::Verified;
        });
        MarkWatchableRows(page);  // after the view, so that the store may take its locks again
    } catch (const StorageError&) {
        return RefusePage(503, "Die Bestenliste ist gerade nicht zu lesen. Bitte später noch einmal versuchen.");
    }
    reply.body = RenderListPage(page, links_);
    return reply;
}

Reply WebService::AnswerApi(Resource resource, const Request& request, std::string_view query) const {
    if (!IsReadMethod(request.method)) return AllowingReads(MakeApiReply(405, FormatErrorJson("method not allowed")));
    std::optional<ScoresQuery> scores;
    std::optional<PlaceQuery> place;
    std::optional<SearchQuery> search;
    std::string problem;
    if (resource == Resource::Scores) {
        Checked<ScoresQuery> checked = CheckScoresQuery(query);
        scores = checked.query;
        problem = std::move(checked.problem);
    } else if (resource == Resource::Place) {
        Checked<PlaceQuery> checked = CheckPlaceQuery(query);
        place = checked.query;
        problem = std::move(checked.problem);
    } else {
        Checked<SearchQuery> checked = CheckSearchQuery(query);
        search = std::move(checked.query);
        problem = std::move(checked.problem);
    }
    if (!problem.empty()) return MakeApiReply(400, FormatErrorJson(problem));
    Reply reply = MakeApiReply(200, {});
    try {
        board_.ReadRanking(FindListing(query, "verified"), [&](const RankedView& view) {
            MarkCacheable(reply, request, VersionTag(view.Version()), ListCaching);
            if (scores) {
                reply.body = FormatScoresJson(view.CountEntries(),
                                              ReadRowsFrom(view, scores->from, static_cast<std::size_t>(scores->count)));
            } else if (place) {
                reply.body = FormatPlaceJson(place->points, view.FindPlace(place->points), view.CountEntries());
            } else {
                const std::optional<std::string>& prefix = search->name.stored;
                reply.body = FormatEntriesJson(prefix ? ReadNameMatches(view, *prefix, PageRows).rows
                                                      : std::vector<ListRow>{});
            }
        });
    } catch (const StorageError&) {
        return MakeApiReply(503, FormatErrorJson("the list cannot be read right now"));
    }
    return reply;
}

Reply WebService::AnswerAsset(Resource resource, const Request& request, std::string_view query) const {
    if (!IsReadMethod(request.method)) return RefuseMethod(ReadMethods);
    const bool icon = resource == Resource::Icon;
    return MakeVersionedFileReply(request, query, icon ? "image/svg+xml" : "text/css; charset=utf-8",
                                  icon ? IconVersion : StylesheetVersion, icon ? IconText : StylesheetText);
}

// Rows link to their games only where a game's page can show them.
void WebService::MarkWatchableRows(ListPage& page) const {
    if (watch_.files == nullptr || watch_.games == nullptr) return;
    std::vector<std::int64_t> ids;
    for (const std::vector<ListRow>* rows : {&page.rows, &page.newest}) {
        for (const ListRow& row : *rows) ids.push_back(row.provisional ? 0 : row.id);
    }
    const std::vector<bool> kept = watch_.games->AreKept(ids);
    std::size_t next = 0;
    for (std::vector<ListRow>* rows : {&page.rows, &page.newest}) {
        for (ListRow& row : *rows) row.watchable = kept.at(next++) && !row.provisional;
    }
}

// A game's page, found by its entry's id. Without the viewer's files this service shows no
// game at all: that is how it is set up, not a passing fault, so it is a 404 (with its
// reason) rather than a 503 a client would try again.
Reply WebService::AnswerGamePage(const Request& request, std::string_view path) const {
    if (!IsReadMethod(request.method)) return AllowingReads(RefusePage(405, "Diese Adresse lässt sich nur abrufen."));
    if (watch_.files == nullptr) return RefusePage(404, "Auf diesem Server lassen sich keine Partien ansehen.");
    const std::optional<std::int64_t> id = ParseGameId(path.substr(base_.size() + std::string_view("partie/").size()));
    std::optional<WatchableEntry> entry;
    try {
        if (id && watch_.games != nullptr) entry = watch_.games->FindKept(*id);
    } catch (const StorageError&) {
        return RefusePage(503, "Die Bestenliste ist gerade nicht zu lesen. Bitte später noch einmal versuchen.");
    }
    if (!entry) {
        return RefusePage(404, "Diese Partie ist hier nicht zu sehen: Es gibt sie nicht, oder ihre Aufzeichnung ist "
                               "nicht mehr gespeichert.");
    }
    Reply reply = MakeGamePageReply(RenderWatchPage(*entry, links_, *watch_.files));
    // The entry may be taken off the list: a page is used for a few seconds at most.
    reply.headers.emplace_back("Cache-Control", ListCaching);
    return reply;
}

Reply WebService::AnswerViewerFile(const Request& request, std::string_view path, std::string_view query) const {
    if (!IsReadMethod(request.method)) return RefuseMethod(ReadMethods);
    const ViewerFile& file = *watch_.files->Find(path.substr(base_.size()));
    return MakeVersionedFileReply(request, query, file.content_type, file.version, file.body);
}

}  // namespace zorblet::server
