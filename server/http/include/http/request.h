#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// What to send back: the status and a body, by default Windows-1252 text.
struct Reply {
    int status = 200;
    std::string body;
    std::string allow;  // the methods a 405 names
    std::string content_type = "text/plain; charset=windows-1252";
    std::vector<std::pair<std::string, std::string>> headers = {};  // any others, name and value
};

using RequestHandler = std::function<Reply(const Request&)>;

// The methods that only read: GET, and HEAD, which asks for GET's head alone.
bool IsReadMethod(std::string_view method);
// The methods a reader is allowed, as Allow names them.
constexpr const char* ReadMethods = "GET, HEAD";

// One line of plain text naming the problem, with the status it goes with.
Reply RefuseRequest(int status, std::string_view reason);
// 405 in plain text, naming in Allow the methods `allowed`.
Reply RefuseMethod(std::string_view allowed);

}  // namespace zorblet::server
