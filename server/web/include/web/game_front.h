#pragma once

#include <optional>

#include "http/request.h"
#include "protocol/game_protocol.h"

namespace zorblet::server {

// The game's three requests over HTTP: the protocol's outcomes become status codes (a
// refusal 400, a used-up allowance 429, a storage fault 503), with the answer or the
// reason as Windows-1252 text. The reads take GET and HEAD; a submission changes the
// list, so it takes GET only; any other method gets 405 naming those it takes.
// Submissions count against the client's limit key (an IPv6 client by its /64).
// nullopt for a target that is none of the game's requests.
std::optional<Reply> AnswerGameRequest(GameProtocol& protocol, const Request& request);

}  // namespace zorblet::server
