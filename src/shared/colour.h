#pragma once

#include <cstdint>

namespace zorblet {

// A colour packed as red + 256 x green + 65536 x blue.
using Colour = std::int32_t;

constexpr Colour RGB(int red, int green, int blue) {
    return red + 256 * green + 65536 * blue;
}
constexpr int RedOf(Colour colour) {
    return colour & 255;
}
constexpr int GreenOf(Colour colour) {
    return (colour >> 8) & 255;
}
constexpr int BlueOf(Colour colour) {
    return (colour >> 16) & 255;
}

}  // namespace zorblet
