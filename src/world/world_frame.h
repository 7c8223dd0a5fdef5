#pragma once
// The world's share of each frame, its start values and a new game's reset.

#include "render/canvas.h"
#include "world/services.h"
#include "world/world.h"

namespace zorblet::world {

// The start values of the world when the program starts: the menu's demonstration.
void StartWorld(World& world, Services& services);

// A new game: three lives, score 0, the countdown, ball, paddle and target reset, the
// extras' waits restarted and the shots gone; rings, particles and pop-ups of the old game run out by themselves.
void StartNewGame(World& world, Services& services);

// AnimAngle's step of an unpaused frame. Everything reads it through sines whose periods
// divide 3600 degrees, so it is kept below 3600 without changing any picture.
void AdvanceAnimAngle(GameState& state);

// The passes every frame runs, moving (unless frozen) and drawing each object in turn:
// paddle angle, trail rings, ball and paddle, shots, target, particles, pop-ups, and
// the ball's contact with the paddle, the bumper ring and the gate.
void StepWorld(World& world, Services& services, render::Canvas& canvas, render::Fonts& fonts);

}  // namespace zorblet::world
