#include "world/ball_paddle.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "world/collision.h"
#include "world/geometry.h"
#include "world/objects.h"

namespace zorblet::world {

namespace {

constexpr float PushOutDistance = 45.0f;
constexpr std::int32_t WallClickHz = 1100;
constexpr std::int32_t ContactClickHz = 1500;

float BallSpeed(const World& world) {
    return VectorLength(world.BallVX, world.BallVY);
}

void FallUnderGravity(World& world) {
    world.BallVY += Gravity;
    world.BallX += world.BallVX;
    world.BallY += world.BallVY;
}

// Red after a paddle contact, back to green over 200 simulated steps.
void FadeBallTint(World& world) {
    if (world.BallTintRed > 0) world.BallTintRed -= 1;
    if (world.BallTintGreen < 200) world.BallTintGreen += 1;
}

// The ceiling holds the ball without touching its velocity; the side walls reflect it.
void KeepBallInField(World& world, sound::ToneStarter& tones) {
    if (world.BallY < CeilingLine) world.BallY = CeilingLine;
    const auto left = static_cast<float>(world.BallRadius);
    const auto right = static_cast<float>(PlayfieldSize - world.BallRadius);
    if (world.BallX < left) {
        world.BallVX = -world.BallVX;
        world.BallX = left;
        tones.StartTone(sound::ToneEffect::Click, WallClickHz);
    }
    if (world.BallX > right) {
        world.BallVX = -world.BallVX;
        world.BallX = right;
        tones.StartTone(sound::ToneEffect::Click, WallClickHz);
    }
}

std::int32_t AddSaturated(std::int32_t value, std::int32_t delta) {
    const std::int64_t sum = static_cast<std::int64_t>(value) + delta;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// One press, one shot: fired when the button is seen released, for 10 points.
void FireOnRelease(World& world, sound::ToneStarter& tones, bool buttonDown) {
    if (buttonDown) {
        world.FireLatch = true;
    } else if (world.FireLatch) {
        world.FireLatch = false;
        FireShot(world, tones);
        world.Score -= static_cast<float>(ShotCost);
    }
}

void SteerByMouse(World& world, sound::ToneStarter& tones, const MouseState& mouse) {
    world.MouseDeltaX = mouse.DeltaX;
    world.MouseDeltaY = mouse.DeltaY;
    world.PaddleX = AddSaturated(world.PaddleX, world.MouseDeltaX);
    world.PaddleY = AddSaturated(world.PaddleY, world.MouseDeltaY);
    FireOnRelease(world, tones, mouse.LeftButton);
}

// The demonstration: the paddle sways around the ball's x, wider the higher the ball
// stands above it, drifts up and down, and now and then fires.
void Autopilot(World& world, sound::ToneStarter& tones) {
    const auto angle = static_cast<float>(world.AnimAngle);
    const float sway = std::fabs(world.BallY - static_cast<float>(world.PaddleY)) / 20.0f + 5.0f;
    world.PaddleX = Rounded(world.BallX + SinDeg(angle) * sway);
    world.PaddleY = Rounded(SinDeg(angle / 10.0f) * 170.0f) + 400;
    if (world.GameRandom.UpTo(100) == 1) FireShot(world, tones);
}

void ClampPaddle(World& world) {
    if (world.PaddleX < 0) world.PaddleX = 0;
    if (world.PaddleY < 0) world.PaddleY = 0;
    if (world.PaddleX > PlayfieldSize) world.PaddleX = PlayfieldSize;
    if (world.PaddleY > PlayfieldSize) world.PaddleY = PlayfieldSize;
}

}  // namespace

void ResetBallAndPaddle(World& world) {
    world.BallX = static_cast<float>(299 + 2 * world.GameRandom.UpTo(1));
    world.BallY = 100.0f;
    world.BallVX = 0.0f;
    world.BallVY = 0.0f;
    world.PaddleX = 300;
    world.PaddleY = 500;
}

bool BallBelowFloor(const World& world) {
    return world.BallY > FloorLine;
}

void StepBallAndPaddle(World& world, const TickInput& input, sound::ToneStarter& tones) {
    FallUnderGravity(world);
    FadeBallTint(world);
    if (input.InGame) world.Score += BallSpeed(world) / 10.0f;
    KeepBallInField(world, tones);
    if (input.InGame) {
        SteerByMouse(world, tones, input.Mouse);
    } else {
        Autopilot(world, tones);
    }
    ClampPaddle(world);
    SpawnTrailRing(world);
}

void UpdatePaddleAngle(World& world) {
    world.PaddleAngle =
        VectorAngle(world.BallX - static_cast<float>(world.PaddleX), world.BallY - static_cast<float>(world.PaddleY));
}

void PaddleContact(World& world, const TickInput& input, sound::ToneStarter& tones) {
    const float distance = PointDistance(Rounded(world.BallX), Rounded(world.BallY), world.PaddleX, world.PaddleY);
    if (!(distance < static_cast<float>(world.BallRadius + world.PaddleRadius))) return;
    SpawnBurstRing(world);
    tones.StartTone(sound::ToneEffect::Click, ContactClickHz);

    // Pushed out along the line from the paddle to the ball; in a game the paddle's own
    // motion carries the ball further and so tilts the bounce.
    const float cosine = CosDeg(world.PaddleAngle);
    const float sine = SinDeg(world.PaddleAngle);
    const auto paddleX = static_cast<float>(world.PaddleX);
    const auto paddleY = static_cast<float>(world.PaddleY);
    world.BallX = paddleX + cosine * PushOutDistance;
    world.BallY = paddleY + sine * PushOutDistance;
    if (input.InGame) {
        world.BallX += static_cast<float>(world.MouseDeltaX);
        world.BallY += static_cast<float>(world.MouseDeltaY);
    }
    const auto radius = static_cast<float>(world.PaddleRadius);
    PolarVelocity bounce = BounceOffCircle(world.BallX, world.BallY, paddleX + cosine * radius, paddleY + sine * radius,
                                           VectorAngle(world.BallVX, world.BallVY), BallSpeed(world));
    world.BallTintRed = 200;
    world.BallTintGreen = 0;
    bounce.Speed = std::min(bounce.Speed, ContactSpeedLimit);
    world.BallVX = CosDeg(bounce.Dir) * bounce.Speed;
    world.BallVY = SinDeg(bounce.Dir) * bounce.Speed;
}

}  // namespace zorblet::world
