#pragma once

#include <optional>
#include <string>

#include "http/request.h"
#include "protocol/game_submissions.h"

namespace zorblet::server {

// The recorded games' exchange over HTTP, under the base path: POST "api/v1/games/new"
// hands out a ticket, POST "api/v1/games?name=NAME" takes a game (the record as the body)
// and answers once its replay is done, with the connection held meanwhile but no thread;
// GET "api/v1/games/ID" gives a kept record, which never changes. Answers are UTF-8 JSON:
// 201 {"id", "place", "points", "verified"} for a game stored, 200 the same for one sent
// again, and a refusal {"error", "text"} with 400, 403, 409, 422, 429 or 503.
class GameApi {
public:
    GameApi(GameSubmissions& games, std::string base_path);

    // Whether `path` (a target without its query) is one of these.
    bool Serves(std::string_view path) const;
    // The reply (which may be deferred), or nullopt for a target that is none of these.
    std::optional<Reply> Answer(const Request& request) const;
    // The largest body taken for a request: a record for a game's submission, none else.
    std::size_t BodyLimit(std::string_view method, std::string_view target) const;
    // The listener's refusal of a body (411, 413, 503) in these requests' JSON; nullopt for
    // other targets.
    std::optional<Reply> RefuseBody(const Request& request, int status) const;

private:
    Reply AnswerTicket(const Request& request) const;
    Reply AnswerSubmission(const Request& request, std::string_view query) const;
    Reply AnswerKeptGame(const Request& request, std::string_view id) const;

    GameSubmissions& games_;
    const std::string games_path_;  // "{base}api/v1/games"
};

// The largest record taken.
inline constexpr std::size_t MaxRecordBytes = 1 << 20;

}  // namespace zorblet::server
