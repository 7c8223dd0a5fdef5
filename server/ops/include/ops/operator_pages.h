#pragma once

#include <optional>

#include "http/connection_registry.h"
#include "http/request.h"
#include "ops/metrics.h"
#include "store/score_board.h"

namespace zorblet::server {

// What operators' tools read: the metrics, and whether the list is healthy.
struct OperatorSources {
    const ServiceMetrics& metrics;
    const ScoreBoard& board;
    const ConnectionRegistry& registry;
};

// Answers GET /metrics (Prometheus text format) and GET /healthz (200 "ok" while the
// database answers a read and has stored since it last failed to, 503 otherwise);
// nullopt for any other path.
std::optional<Reply> AnswerOperatorPage(const Request& request, const OperatorSources& sources);

// The operator pages, and 404 for everything else.
RequestHandler MakeOperatorHandler(const OperatorSources& sources);

}  // namespace zorblet::server
