#include "web/game_front.h"

#include "query/query.h"

namespace zorblet::server {

namespace {

int StatusOf(Outcome::Kind kind) {
    switch (kind) {
        case Outcome::Kind::Found:
        case Outcome::Kind::Stored:
            return 200;
        case Outcome::Kind::Refused:
            return 400;
        case Outcome::Kind::RateLimited:
            return 429;
        case Outcome::Kind::StorageFault:
            break;
    }
    return 503;
}

Reply ReplyTo(Outcome outcome) {
    const int status = StatusOf(outcome.kind);
    if (status == 200) return {status, std::move(outcome.text), {}};
    return RefuseRequest(status, outcome.text);
}

// HEAD may probe the reads; a request that changes the list is a GET only.
bool Takes(GameRequest request, std::string_view method) {
    return ChangesList(request) ? method == "GET" : IsReadMethod(method);
}

}  // namespace

std::optional<Reply> AnswerGameRequest(GameProtocol& protocol, const Request& request) {
    const RequestTarget target = SplitTarget(request.target);
    const std::optional<GameRequest> game = protocol.FindRequest(target.path);
    if (!game) return std::nullopt;
    if (!Takes(*game, request.method)) return RefuseMethod(ChangesList(*game) ? "GET" : ReadMethods);
    const std::string client = request.limit_key.empty() ? request.address : std::string(request.limit_key);
    return ReplyTo(protocol.Answer(*game, target.query, client));
}

}  // namespace zorblet::server
