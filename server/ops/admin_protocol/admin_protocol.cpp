#include "ops/admin_protocol.h"

#include "query/values.h"

namespace zorblet::server::admin {

std::optional<PlaceRange> ParsePlaceRange(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = ParseWholeNumber(text.substr(0, dash), 1);
    const auto last = ParseWholeNumber(text.substr(dash + 1), 1);
    if (!first || !last || *first > *last) return std::nullopt;
    return PlaceRange{*first, *last};
}

std::optional<std::int64_t> ParseEntryId(std::string_view text) {
    return ParseWholeNumber(text, 1);
}

std::optional<std::int64_t> ParseByteOffset(std::string_view text) {
    return ParseWholeNumber(text, 0);
}

std::optional<std::vector<std::int64_t>> ParseEntryIds(std::string_view text) {
    std::vector<std::int64_t> ids;
    for (;;) {
        const std::size_t comma = text.find(',');
        const auto id = ParseEntryId(text.substr(0, comma));
        if (!id) return std::nullopt;
        ids.push_back(*id);
        if (comma == std::string_view::npos) return ids;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace zorblet::server::admin
