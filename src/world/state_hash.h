#pragma once
// Hashes of the game's state, so that tests compare states frame by frame and not only
// pictures: two states with the same hashes play on the same way.

#include <cstdint>

#include "world/rules.h"

namespace zorblet::world {

// Every field that decides how the game goes on: the state of play, score, ball, paddle,
// target, shots, the fire latch, the last mouse motion, the extras, AnimAngle and the
// game's random numbers (by their seed and how many were drawn, which fix the engine).
std::uint64_t GameHash(const GameState& state);

// What is only seen: trail rings, particles, pop-ups, the ball's tint, the trail toggle,
// the picture's drawn-as-of state and the decoration's random numbers.
std::uint64_t DecorationHash(const World& world);

}  // namespace zorblet::world
