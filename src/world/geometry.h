#pragma once
// Lengths, directions and distances as the whole world computes them, in 32-bit floats.

#include <cstdint>

#include "shared/game_math.h"

namespace zorblet::world {

// Nearest integer, halves to even.
inline std::int32_t Rounded(float value) {
    return RoundToInt(value);
}

float VectorLength(float vx, float vy);
// Direction of the vector in degrees, in [-90, 270); straight down for the zero vector.
float VectorAngle(float vx, float vy);
float PointDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

}  // namespace zorblet::world
