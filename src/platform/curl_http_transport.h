#pragma once
// HTTP on libcurl: a direct connection, always fresh from the server, bounded in time and size.

#include "platform/http_transport.h"

namespace zorblet::platform {

// libcurl's global set-up; it is not safe while other threads run, so main calls it first.
void InitHttp();

// Each request uses an easy handle of its own, so any number of threads may send at once.
// A connection must be made within ConnectTimeoutMs (or the budget, if that is shorter).
// After that, a server that sends no body byte for IdleTimeoutMs, or sends slower than
// LowSpeedBytesPerSecond for LowSpeedSeconds, is given up.
// Only http:// and https:// URLs are fetched (https with its certificate checked), and
// redirects are not followed. A POST body larger than MaxUploadBytes is not sent.
class CurlHttpTransport final : public HttpTransport {
public:
    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int IdleTimeoutMs = 3000;
    static constexpr int LowSpeedBytesPerSecond = 10;
    static constexpr int LowSpeedSeconds = 3;

    HttpAttempt Get(const std::string& url, int budgetMs) override;
    HttpAttempt Send(const HttpRequest& request, int budgetMs) override;
};

}  // namespace zorblet::platform
