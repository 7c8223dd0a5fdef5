#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "query/query.h"
#include "query/values.h"
#include "store/score_board.h"

namespace zorblet::server {

struct Submission {
    std::int32_t points = 0;
    std::string name;
};

// Why Punkte is refused when ParsePoints reads no points from it.
constexpr std::string_view PointsProblem = "Punkte must be an integer of 1 to 10 digits within 32 bits";

// Empty when a name may be stored; otherwise a one-line reason. A name must be 1 to 24
// bytes without control bytes (TAB, CR and LF included) and without the five bytes that
// Windows-1252 leaves undefined, so every reply stays parseable and printable.
std::string FindNameProblem(std::string_view name);

// A submission whose parameters are all present once, well formed and whose check value
// matches; or the one-line reason it is refused.
struct ValidatedSubmission {
    std::optional<Submission> submission;
    std::string problem;
};
ValidatedSubmission ValidateSubmission(const QueryParameters& parameters);

}  // namespace zorblet::server
