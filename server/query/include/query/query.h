#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorblet::server {

// A request target cut at the first '?': the path as sent, and the raw query.
struct RequestTarget {
    std::string_view path;
    std::string_view query;
};
RequestTarget SplitTarget(std::string_view target);

// Decoded query parameters in the order sent; a name may occur more than once.
using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// Splits at '&' and the first '=' and percent-decodes names and values. Returns nullopt
// when any escape is malformed, so no value is ever half-decoded.
std::optional<QueryParameters> ParseQuery(std::string_view query);

// The value of a parameter that must be given exactly once, or a one-line reason why not.
struct SingleValue {
    std::optional<std::string> value;
    std::string problem;
};
SingleValue FindSingleValue(const QueryParameters& parameters, std::string_view name);

}  // namespace zorblet::server
