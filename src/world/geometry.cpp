#include "world/geometry.h"

#include <cmath>

namespace zorblet::world {

float VectorLength(float vx, float vy) {
    return std::sqrt(vx * vx + vy * vy);
}

float VectorAngle(float vx, float vy) {
    if (vx == 0.0f) return vy < 0.0f ? -90.0f : 90.0f;
    const float angle = ArcTan(vy / vx) / DegToRad;
    return vx < 0.0f ? angle + 180.0f : angle;
}

float PointDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    // In double: the squares of far-apart points overflow any integer type.
    const double dx = static_cast<double>(x1) - x2;
    const double dy = static_cast<double>(y1) - y2;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

}  // namespace zorblet::world
