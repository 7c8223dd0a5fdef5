#pragma once

#include <cstddef>
#include <memory>

#include "http/http_listener.h"
#include "http/listening_socket.h"
#include "http/request.h"
#include "ops/operator_pages.h"

namespace zorblet::server {

// Largest request body an operator's request may carry.
inline constexpr std::size_t MaxAdminBodyBytes = 64 * 1024;

// Serves the operators' Unix socket: /metrics and /healthz, and every other request goes
// to `admin` (404 while it is empty). Access is the socket file's permissions, nothing
// else. Each request is logged with the address "local".
std::unique_ptr<HttpListener> StartAdminListener(UnixSocketFile& socket, const OperatorSources& sources,
                                                 RequestHandler admin);

}  // namespace zorblet::server
