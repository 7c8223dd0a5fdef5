#include "http/request.h"

namespace zorblet::server {

bool IsReadMethod(std::string_view method) {
    return method == "GET" || method == "HEAD";
}

Reply RefuseRequest(int status, std::string_view reason) {
    std::string body(reason);
    body += "\r\n";
    return {status, std::move(body), {}};
}

Reply RefuseMethod(std::string_view allowed) {
    Reply refusal = RefuseRequest(405, "method not allowed");
    refusal.allow = allowed;
    return refusal;
}

}  // namespace zorblet::server
