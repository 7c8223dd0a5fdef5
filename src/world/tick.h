#pragma once
// The world's share of each frame, in its order, and its start values.

#include "world/services.h"
#include "world/world.h"

namespace zorblet::world {

// The start values of the world when the program starts: the menu's demonstration.
void StartWorld(World& world, Services& services);

// The world of a new game: score 0, ball, paddle and target reset, the extras' waits
// restarted and the shots gone; rings, particles and pop-ups of the old game run out by
// themselves.
void ResetWorldForNewGame(World& world, Services& services);

// AnimAngle's step of an unpaused frame. Everything reads it through sines whose periods
// divide 3600 degrees, so it is kept below 3600 without changing any picture.
void AdvanceAnimAngle(World& world);

// One frame of the world, in this order: the animation angle (unless paused), the
// simulated step while the world moves (ball, paddle, shots fired, trail), then every
// frame the paddle's angle, the trail rings, the shots with their hits on the target,
// the target, particles, pop-ups, the ball's contact with the paddle, the bumper ring and
// the gate. What the picture of this frame shows is kept in world.Drawn on the way.
void TickWorld(World& world, const FrameInput& input, Services& services);

}  // namespace zorblet::world
