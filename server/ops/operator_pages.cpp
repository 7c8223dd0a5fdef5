#include "ops/operator_pages.h"

#include "query/query.h"

namespace zorblet::server {

namespace {

constexpr const char* MetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* HealthContentType = "text/plain; charset=utf-8";

Reply AnswerHealth(const ScoreBoard& board) {
    if (board.CheckHealth()) return {200, "ok\n", {}, HealthContentType};
    return {503, "the database does not answer or cannot store\n", {}, HealthContentType};
}

}  // namespace

std::optional<Reply> AnswerOperatorPage(const Request& request, const OperatorSources& sources) {
    const std::string_view path = SplitTarget(request.target).path;
    if (path != "/metrics" && path != "/healthz") return std::nullopt;
    if (!IsReadMethod(request.method)) return RefuseMethod(ReadMethods);
    if (path == "/healthz") return AnswerHealth(sources.board);
    return Reply{200, sources.metrics.Format(sources.board, sources.registry), {}, MetricsContentType};
}

RequestHandler MakeOperatorHandler(const OperatorSources& sources) {
    return [sources](const Request& request) {
        return AnswerOperatorPage(request, sources).value_or(RefuseRequest(404, "not found"));
    };
}

}  // namespace zorblet::server
