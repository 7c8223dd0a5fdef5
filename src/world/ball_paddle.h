#pragma once
// The ball and the paddle: falling, walls and ceiling, steering by mouse or autopilot,
// the contact, lost lives and the get-ready countdown.

#include "render/canvas.h"
#include "world/services.h"
#include "world/world.h"

namespace zorblet::world {

inline constexpr float ContactSpeedLimit = 7.0f;

// At the head of each frame: a ball below the floor line is put back; in a game it
// costs a life. True when that was the last life, so the game is over.
bool BallLostCheck(World& world, Services& services);

// The simulated step: the ball moves, the paddle is steered and may fire, the trail grows.
void StepBallAndPaddle(World& world, Services& services);

// Turns the paddle towards the ball; every frame.
void UpdatePaddleAngle(World& world);

// The ball and then the paddle, drawn where they stand.
void DrawBallAndPaddle(const World& world, render::Canvas& canvas);

// Ball touching paddle: burst, click, push-out and bounce, capped at 7 px/frame.
void PaddleContact(World& world, Services& services);

// One frame of the get-ready countdown: lowered by 2, beeps at 600, 400, 200 and 0,
// and its digit drawn big in the middle.
void CountdownStep(World& world, Services& services, render::Canvas& canvas, render::Fonts& fonts);

// Ball back at the top, at rest, paddle at its start.
void ResetBallAndPaddle(World& world, Services& services);

}  // namespace zorblet::world
