#include "ops/admin_listener.h"

namespace zorblet::server {

std::unique_ptr<HttpListener> StartAdminListener(UnixSocketFile& socket, const OperatorSources& sources,
                                                 RequestHandler admin) {
    RequestHandler handler = [sources, admin = std::move(admin)](const Request& request) {
        if (std::optional<Reply> page = AnswerOperatorPage(request, sources)) return *page;
        return admin ? admin(request) : RefuseRequest(404, "not found");
    };
    ListenerSettings settings;
    settings.max_body_bytes = MaxAdminBodyBytes;
    return std::make_unique<HttpListener>(socket.TakeSocket(), std::move(handler), std::move(settings));
}

}  // namespace zorblet::server
