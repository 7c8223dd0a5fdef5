#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "http/request.h"
#include "store/score_board.h"
#include "web/list_page.h"
#include "web/viewer_files.h"
#include "web/watch_page.h"

namespace zorblet::server {

// What a WebService serves: the page, the API, the page's files.
enum class WebRequest { Page, Api, Static };

// What the watch pages need. Without the viewer's files watching is not set up: the list
// links to no game and a game's page says so; without the games no record is kept.
struct WatchSetup {
    const ViewerFiles* files = nullptr;
    const WatchableGames* games = nullptr;
};

// The list for browsers and other programs, under the service's base path: the page
// ("" with ?ab=, ?punkte= or ?name=), the JSON API ("api/v1/scores", "api/v1/place",
// "api/v1/search"), the page's stylesheet and icon, and with `watch` the page of a game
// whose record is kept ("partie/{id}") and the viewer's files. Pages and API replies
// carry the list's version as their ETag and answer 304 when it still holds; bad queries
// get 400 with the reason, on a page in German, in the API as {"error": ...}.
class WebService {
public:
    WebService(const ScoreBoard& board, std::string base_path, WatchSetup watch = {});

    // What `path` (a target without its query) asks for; nullopt for a path Answer does
    // not take.
    std::optional<WebRequest> FindRequest(std::string_view path) const;
    // The answer, or nullopt for a target that is none of these.
    std::optional<Reply> Answer(const Request& request) const;

private:
    enum class Resource { None, BaseWithoutSlash, Page, Stylesheet, Icon, Scores, Place, Search, Game, ViewerFile };

    Resource FindResource(std::string_view path) const;
    Reply AnswerPage(const Request& request, std::string_view query) const;
    Reply AnswerMoved(const Request& request, std::string_view query) const;
    Reply AnswerApi(Resource resource, const Request& request, std::string_view query) const;
    Reply AnswerAsset(Resource resource, const Request& request, std::string_view query) const;
    Reply RefusePage(int status, std::string_view message) const;
    static Listing FindListing(std::string_view query, std::string_view parameter);
    Reply AnswerGamePage(const Request& request, std::string_view path) const;
    Reply AnswerViewerFile(const Request& request, std::string_view path, std::string_view query) const;
    void MarkWatchableRows(ListPage& page) const;

    const ScoreBoard& board_;
    const std::string base_;
    const PageLinks links_;
    const WatchSetup watch_;
};

}  // namespace zorblet::server
