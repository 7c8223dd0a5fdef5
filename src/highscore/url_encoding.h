#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorblet::highscore {

// Percent-encodes every byte except A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex), so a
// Windows-1252 name survives any HTTP hop unchanged.
std::string PercentEncode(std::string_view bytes);

// Decodes a query value: '+' is a space, %XX is the byte XX. A '%' that is not followed
// by two hex digits makes the whole value invalid (nullopt) rather than guessing.
std::optional<std::string> PercentDecode(std::string_view text);

}  // namespace zorblet::highscore
