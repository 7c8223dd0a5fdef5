#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "protocol/game_protocol.h"

namespace zorblet::server {

// One HTTP request as a listener hands it to its handler: the method and the target
// exactly as sent, the body (empty unless the listener takes bodies) and the client's
// address ("local" on a Unix socket); and the one request header answers depend on.
struct Request {
    std::string_view method;
    std::string_view target;
    std::string_view body;
    const std::string& address;
    std::string_view if_none_match = {};  // empty when not sent
    // What per-address limits count the client by (see DescribeLimitKey); empty where
    // there is no client address.
    std::string_view limit_key = {};
};

using RequestHandler = std::function<Reply(const Request&)>;

}  // namespace zorblet::server
