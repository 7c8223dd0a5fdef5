#pragma once

#include <cstdint>

namespace zorblet::platform {

// The Unicode code point of a Windows-1252 byte; U+FFFD for the five bytes it leaves undefined.
char32_t UnicodeOfCp1252(std::uint8_t byte);

}  // namespace zorblet::platform
