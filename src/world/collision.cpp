#include "world/collision.h"

#include <cmath>

#include "world/geometry.h"

namespace zorblet::world {

namespace {

// The direction of the line of centres, between 450 and 630 degrees.
float ContactAngle(float bx, float by, float px, float py) {
    if (bx == px) return by > py ? 630.0f : 450.0f;
    return ArcTan((by - py) / (bx - px)) / DegToRad + 540.0f;
}

}  // namespace

PolarVelocity BounceOffCircle(float bx, float by, float px, float py, float dir, float speed) {
    if (bx == px && by == py) return {dir, speed};
    const float contactAngle = ContactAngle(bx, by, px, py);
    const float backAngle = contactAngle + 180.0f;
    const float normalPart = speed * CosDeg(contactAngle - dir);
    const float tangentPart = speed * SinDeg(contactAngle - dir);
    PolarVelocity result;
    if (normalPart != 0.0f) {
        result.Dir = backAngle + ArcTan(tangentPart / normalPart) / DegToRad;
        const float length = std::sqrt(normalPart * normalPart + tangentPart * tangentPart);
        result.Speed = normalPart < 0.0f ? -length : length;
    } else {
        result.Dir = backAngle + 90.0f;
        result.Speed = tangentPart;
    }
    if (result.Speed < 0.0f) {
        result.Dir += 180.0f;
        result.Speed = -result.Speed;
    }
    return result;
}

}  // namespace zorblet::world
