#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "highscore_service.h"

namespace zorblet::server {

// One HTTP request as a listener hands it to whoever answers it.
struct Request {
    std::string_view method;
    std::string_view target;  // exactly as sent
    std::string_view body;
    const std::string& address;
};

using RequestHandler = std::function<Reply(const Request&)>;

}  // namespace zorblet::server
