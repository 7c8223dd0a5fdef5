#pragma once
// The numbers every part of the game computes the same way: angles in degrees, floats
// rounded to whole pixels and points, whole numbers as text. The sine, cosine and arc
// tangent are the game's own (game_math.cpp): their results are fixed by this code, not
// by a C library, so that every build and machine computes the same bits.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace zorblet {

// Degrees to radians, as the game has always held it: a 32-bit float.
inline constexpr float DegToRad = 0.017453292f;

// Of the float's exact value, in radians; each the true value rounded to a float (but
// for inputs closer to a rounding boundary than double arithmetic can tell, where it may
// be the float next to it).
float SinRad(float radians);
float CosRad(float radians);
// Both of one angle, each as SinRad and CosRad give it, for the cost of a little more
// than one.
void SinCosRad(float radians, float& sine, float& cosine);
float ArcTan(float value);  // in (-pi/2, pi/2)

inline float SinDeg(float degrees) {
    return SinRad(degrees * DegToRad);
}
inline float CosDeg(float degrees) {
    return CosRad(degrees * DegToRad);
}
inline void SinCosDeg(float degrees, float& sine, float& cosine) {
    SinCosRad(degrees * DegToRad, sine, cosine);
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
