#include "ops/admin_protocol.h"

#include <charconv>

namespace zorblet::server::admin {

namespace {

std::optional<std::int64_t> ParseWhole(std::string_view text, std::int64_t lowest) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest) {
        return std::nullopt;
    }
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

}  // namespace

std::optional<PlaceRange> ParsePlaceRange(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = ParseWhole(text.substr(0, dash), 1);
    const auto last = ParseWhole(text.substr(dash + 1), 1);
    if (!first || !last || *first > *last) return std::nullopt;
    return PlaceRange{*first, *last};
}

std::optional<int> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = ParseWhole(text.substr(0, 4), 1);
    const auto month = ParseWhole(text.substr(5, 2), 1);
    const auto day = ParseWhole(text.substr(8, 2), 1);
    if (!year || !month || !day || *month > 12 || *day > DaysInMonth(static_cast<int>(*year), static_cast<int>(*month))) {
        return std::nullopt;
    }
    return static_cast<int>(*year * 10000 + *month * 100 + *day);
}

std::optional<std::int64_t> ParseEntryId(std::string_view text) {
    return ParseWhole(text, 1);
}

std::optional<std::int64_t> ParseByteOffset(std::string_view text) {
    return ParseWhole(text, 0);
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
