#pragma once
// The values requests carry, read alike by every layer that answers them, and the list's
// stored dates as the calendar days they stand for.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorblet::server {

// An optional '-' and 1 to 10 digits whose value fits in 32 bits, as points and the
// places the pages ask for are written; nullopt otherwise.
std::optional<std::int32_t> ParsePoints(std::string_view text);

// Digits alone (a '-' only where `lowest` is below 0), within 64 bits, from `lowest` on;
// nullopt otherwise.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t lowest);

// A calendar day "YYYY-MM-DD" as the number YYYYMMDD.
std::optional<int> ParseDay(std::string_view text);

// A stored date "dd.MM.yy" as "20yy-MM-dd"; nullopt when it is no such calendar day.
std::optional<std::string> IsoDateOf(std::string_view stored);

}  // namespace zorblet::server
