#pragma once
// The three requests of the highscore service, under its base address (scheme, host and
// directory, ending in "/").

#include <cstdint>
#include <string>
#include <string_view>

namespace zorblet::highscore {

std::string BestOfUrl(std::string_view server);
std::string ListUrl(std::string_view server, std::int32_t points);

// The name is percent-encoded, byte by byte of its Windows-1252 text, so that "&", "#",
// "+", "%" and spaces reach the service as typed; checkText is BuildCheckText over the
// raw name.
std::string SubmitUrl(std::string_view server, std::int32_t points, std::string_view name, std::string_view checkText);

}  // namespace zorblet::highscore
