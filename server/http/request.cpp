#include "http/request.h"

namespace zorblet::server {

Reply RefuseRequest(int status, std::string_view reason) {
    std::string body(reason);
    body += "\r\n";
    return {status, std::move(body), {}};
}

}  // namespace zorblet::server
