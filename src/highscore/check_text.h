#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorblet::highscore {

// The check value that travels with a submission: the remainders of the points and of the
// Windows-1252 code of the name's first character by 13, 7, 31 and 59, written as signed
// decimals and joined without separator. Remainders truncate toward zero, so negative
// points give negative parts. An empty name counts as code 0.
std::string BuildCheckText(std::int32_t points, std::string_view name);

}  // namespace zorblet::highscore
