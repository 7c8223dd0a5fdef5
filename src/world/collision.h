#pragma once

namespace zorblet::world {

// A velocity in polar form: direction in degrees, speed in pixels per frame.
struct PolarVelocity {
    float Dir = 0.0f;
    float Speed = 0.0f;
};

// The ball's velocity after bouncing off a fixed circle: mirrored at the tangent of the
// contact, speed kept. (bx, by) is the ball's centre after the caller's push-out,
// (px, py) the circle's centre. Coincident centres have no line of contact; the
// velocity then comes back unchanged.
PolarVelocity BounceOffCircle(float bx, float by, float px, float py, float dir, float speed);

}  // namespace zorblet::world
