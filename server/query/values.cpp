#include "query/values.h"

#include <charconv>
#include <limits>

namespace zorblet::server {

namespace {

constexpr std::size_t MaxPointsDigits = 10;

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

}  // namespace

std::optional<std::int32_t> ParsePoints(std::string_view text) {
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (digits.empty() || digits.size() > MaxPointsDigits) return std::nullopt;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (text.starts_with('-')) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t lowest) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = ParseWholeNumber(text.substr(0, 4), 1);
    const auto month = ParseWholeNumber(text.substr(5, 2), 1);
    const auto day = ParseWholeNumber(text.substr(8, 2), 1);
    if (!year || !month || !day || *month > 12 || *day > DaysInMonth(static_cast<int>(*year), static_cast<int>(*month))) {
        return std::nullopt;
    }
    return static_cast<int>(*year * 10000 + *month * 100 + *day);
}

std::optional<std::string> IsoDateOf(std::string_view stored) {
    if (stored.size() != 8 || stored[2] != '.' || stored[5] != '.') return std::nullopt;
    std::string iso = "20";
    iso.append(stored.substr(6, 2)).append("-").append(stored.substr(3, 2)).append("-").append(stored.substr(0, 2));
    if (!ParseDay(iso)) return std::nullopt;
    return iso;
}

}  // namespace zorblet::server
