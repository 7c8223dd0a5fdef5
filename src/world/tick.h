#pragma once
// The world's share of each frame, in its order, and its start values.

#include <cstdint>

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

// Seeds the game's numbers with seed and the decoration's with a seed derived from it.
void SeedWorldRandom(World& world, std::uint32_t seed);

// The world when the program starts, for the menu's demonstration: ball and paddle at
// their start, the target placed, both extras waiting; its numbers from seed.
void StartWorld(World& world, std::uint32_t seed);

// The world of a new game, given by its seed alone: everything from the start again
// (the decoration of what went before gone, AnimAngle at 0), the ball at one of its two
// starts and the target placed by the game's numbers, both extras waiting.
void StartGameWorld(World& world, std::uint32_t seed);

// AnimAngle's step of an unpaused frame. Everything reads it through sines whose periods
// divide 3600 degrees, so it is kept below 3600 without changing any picture.
void AdvanceAnimAngle(World& world);

// One frame of the world, in this order: the animation angle (unless paused), the
// simulated step while the world moves (ball, paddle, shots fired, trail), then every
// frame the paddle's angle, the trail rings, the shots with their hits on the target,
// the target, particles, pop-ups, the ball's contact with the paddle, the bumper ring and
// the gate. What the picture of this frame shows is kept in world.Drawn on the way.
void TickWorld(World& world, const TickInput& input, sound::ToneStarter& tones);

}  // namespace zorblet::world
