#pragma once
// The ball and the paddle: falling, walls and ceiling, steering by mouse or autopilot,
// the contact, and the ball lost below the floor.

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

inline constexpr float ContactSpeedLimit = 7.0f;

// True when the ball has fallen below the floor line.
bool BallBelowFloor(const World& world);

// Ball back at the top, at rest, paddle at its start.
void ResetBallAndPaddle(World& world);

// The simulated step: the ball moves, the paddle is steered and may fire, the trail grows.
void StepBallAndPaddle(World& world, const TickInput& input, sound::ToneStarter& tones);

// Turns the paddle towards the ball; every frame.
void UpdatePaddleAngle(World& world);

// Ball touching paddle: burst, click, push-out and bounce, capped at 7 px/frame.
void PaddleContact(World& world, const TickInput& input, sound::ToneStarter& tones);

}  // namespace zorblet::world
