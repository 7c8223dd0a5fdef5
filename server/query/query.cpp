#include "query/query.h"

#include "highscore/url_encoding.h"

namespace zorblet::server {

using highscore::PercentDecode;

RequestTarget SplitTarget(std::string_view target) {
    const std::size_t mark = target.find('?');
    if (mark == std::string_view::npos) return {target, {}};
    return {target.substr(0, mark), target.substr(mark + 1)};
}

std::optional<QueryParameters> ParseQuery(std::string_view query) {
    QueryParameters parameters;
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        std::optional<std::string> name = PercentDecode(pair.substr(0, equals));
        std::optional<std::string> value =
            PercentDecode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        parameters.emplace_back(std::move(*name), std::move(*value));
    }
    return parameters;
}

SingleValue FindSingleValue(const QueryParameters& parameters, std::string_view name) {
    SingleValue found;
    for (const auto& [key, value] : parameters) {
        if (key != name) continue;
        if (found.value) return {std::nullopt, "parameter " + std::string(name) + " is given twice"};
        found.value = value;
    }
    if (!found.value) found.problem = "parameter " + std::string(name) + " is missing";
    return found;
}

}  // namespace zorblet::server
