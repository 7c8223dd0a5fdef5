#pragma once
// The numbers every part of the game computes the same way: angles in degrees, floats
// rounded to whole pixels and points, whole numbers as text.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace zorblet {

// Degrees to radians, as the game has always held it: a 32-bit float.
inline constexpr float DegToRad = 0.017453292f;

inline float SinDeg(float degrees) {
    return std::sin(degrees * DegToRad);
}
inline float CosDeg(float degrees) {
    return std::cos(degrees * DegToRad);
}

// Nearest integer, halves to even; values beyond the 32-bit range saturate.
inline std::int32_t RoundToInt(float value) {
    if (std::isnan(value)) return 0;
    constexpr float Limit = 2147483520.0f;  // the largest float below 2^31
    if (value >= Limit) return std::numeric_limits<std::int32_t>::max();
    if (value <= -Limit) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::lrint(value));
}

// Signed decimal without leading zeros or grouping.
inline std::string DecimalText(std::int64_t value) {
    return std::to_string(value);
}

}  // namespace zorblet
