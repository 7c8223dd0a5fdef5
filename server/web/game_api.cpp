#include "web/game_api.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "query/query.h"
#include "query/values.h"
#include "web/web_text.h"

namespace zorblet::server {

namespace {

constexpr const char* GameAnswerType = "application/json; charset=utf-8";
// How long a client should wait before it sends a refused game again.
constexpr const char* BusyRetrySeconds = "10";
constexpr const char* LimitRetrySeconds = "60";

int StatusOf(const GameAnswer& answer) {
    switch (answer.outcome) {
        case GameOutcome::Verified:
            return answer.resent ? 200 : 201;
        case GameOutcome::NameInvalid:
            return 400;
        case GameOutcome::TicketInvalid:
        case GameOutcome::TicketExpired:
        case GameOutcome::NameRefused:
            return 403;
        case GameOutcome::TicketReused:
            return 409;
        case GameOutcome::ReplayMismatch:
        case GameOutcome::RecordMalformed:
            return 422;
        case GameOutcome::RateLimited:
            return 429;
        case GameOutcome::Busy:
        case GameOutcome::StorageFault:
            break;
    }
    return 503;
}

Reply JsonReply(int status, std::string body) {
    Reply reply{status, std::move(body), {}, GameAnswerType};
    reply.headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

Reply RefuseJson(int status, std::string_view error, std::string_view text) {
    std::string body = "{\"error\": ";
    AppendJsonString(body, error);
    body += ", \"text\": ";
    AppendJsonString(body, text);
    body += "}\n";
    return JsonReply(status, std::move(body));
}

Reply ReplyTo(const GameAnswer& answer) {
    const int status = StatusOf(answer);
    if (answer.outcome != GameOutcome::Verified) {
        Reply reply = RefuseJson(status, answer.error, answer.text);
        if (status == 429) reply.headers.emplace_back("Retry-After", LimitRetrySeconds);
        if (status == 503) reply.headers.emplace_back("Retry-After", BusyRetrySeconds);
        return reply;
    }
    return JsonReply(status, "{\"id\": " + std::to_string(answer.id) + ", \"place\": " + std::to_string(answer.place) +
                                 ", \"points\": " + std::to_string(answer.points) + ", \"verified\": true}\n");
}

std::string IsoTime(std::int64_t unix_time) {
    const auto moment = static_cast<std::time_t>(unix_time);
    std::tm parts{};
    gmtime_r(&moment, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::span<const std::uint8_t> BytesOf(std::string_view body) {
    return {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()};
}

}  // namespace

GameApi::GameApi(GameSubmissions& games, std::string base_path)
    : games_(games), games_path_(std::move(base_path) + "api/v1/games") {}

bool GameApi::Serves(std::string_view path) const {
    return path.starts_with(games_path_) &&
           (path.size() == games_path_.size() || path[games_path_.size()] == '/');
}

std::size_t GameApi::BodyLimit(std::string_view method, std::string_view target) const {
    return method == "POST" && SplitTarget(target).path == games_path_ ? MaxRecordBytes : 0;
}

std::optional<Reply> GameApi::RefuseBody(const Request& request, int status) const {
    if (!Serves(SplitTarget(request.target).path)) return std::nullopt;
    switch (status) {
        case 411:
            return RefuseJson(411, "length-required", "Die Anfrage muss ihre Länge angeben.");
        case 413:
            return RefuseJson(413, "record-too-large", "Die Aufzeichnung ist größer als 1 MiB.");
        default:
            break;
    }
    Reply reply = RefuseJson(status, GameOutcomeCode(GameOutcome::Busy), GameOutcomeText(GameOutcome::Busy));
    reply.headers.emplace_back("Retry-After", BusyRetrySeconds);
    return reply;
}

std::optional<Reply> GameApi::Answer(const Request& request) const {
    const RequestTarget target = SplitTarget(request.target);
    if (!Serves(target.path)) return std::nullopt;
    const std::string_view rest = target.path.substr(games_path_.size());
    if (rest.empty() || rest == "/new") {
        if (request.method != "POST") return RefuseMethod("POST");
        return rest.empty() ? AnswerSubmission(request, target.query) : AnswerTicket(request);
    }
    if (!IsReadMethod(request.method)) return RefuseMethod(ReadMethods);
    return AnswerKeptGame(request, rest.substr(1));
}

Reply GameApi::AnswerTicket(const Request& request) const {
    const std::string client = request.limit_key.empty() ? request.address : std::string(request.limit_key);
    const IssuedTicket ticket = games_.IssueTicket(client);
    if (!ticket.issued) {
        Reply reply = RefuseJson(429, GameOutcomeCode(GameOutcome::RateLimited), GameOutcomeText(GameOutcome::RateLimited));
        reply.headers.emplace_back("Retry-After", LimitRetrySeconds);
        return reply;
    }
    std::string body = "{\"ticket\": ";
    AppendJsonString(body, ticket.text);
    body += ", \"seed\": " + std::to_string(ticket.seed) + ", \"expires\": ";
    AppendJsonString(body, IsoTime(ticket.expires));
    body += "}\n";
    return JsonReply(200, std::move(body));
}

// The listener takes the body whole before this runs; the game's replay runs on the
// pool, and the connection waits for it without holding a thread.
Reply GameApi::AnswerSubmission(const Request& request, std::string_view query) const {
    const std::optional<QueryParameters> parameters = ParseQuery(query);
    const SingleValue name = parameters ? FindSingleValue(*parameters, "name") : SingleValue{};
    const std::string client = request.limit_key.empty() ? request.address : std::string(request.limit_key);
    if (!name.value) {
        return RefuseJson(400, GameOutcomeCode(GameOutcome::NameInvalid), GameOutcomeText(GameOutcome::NameInvalid));
    }
    if (!request.defer) return RefuseJson(503, "storage-fault", GameOutcomeText(GameOutcome::StorageFault));
    std::shared_ptr<PendingReply> pending = request.defer();
    const std::optional<GameAnswer> at_once =
        games_.Submit(*name.value, BytesOf(request.body), client,
                      [pending](GameAnswer answer) { pending->Give(ReplyTo(answer)); });
    if (at_once) pending->Give(ReplyTo(*at_once));
    return {};
}

Reply GameApi::AnswerKeptGame(const Request&, std::string_view id_text) const {
    const std::optional<std::int64_t> id = ParseWholeNumber(id_text, 1);
    std::optional<std::string> record;
    try {
        if (id) record = games_.ReadKeptGame(*id);
    } catch (const StorageError&) {
        Reply reply = RefuseJson(503, "storage-fault", GameOutcomeText(GameOutcome::StorageFault));
        reply.headers.emplace_back("Retry-After", BusyRetrySeconds);
        return reply;
    }
    if (!record) return RefuseJson(404, "not-found", "Von diesem Eintrag ist keine Aufzeichnung aufbewahrt.");
    Reply reply{200, std::move(*record), {}, "application/octet-stream"};
    // A kept record never changes: the entry's id names one game for good.
    reply.headers.emplace_back("Cache-Control", "public, max-age=31536000, immutable");
    reply.headers.emplace_back("Access-Control-Allow-Origin", "*");
    return reply;
}

}  // namespace zorblet::server
