#pragma once
// The world's part of a frame, in the frame's order; the program's frame and the tests
// both step the world with it.

#include "frame/game.h"
#include "frame/mode.h"
#include "world/services.h"

namespace zorblet::frame {

// Whether this frame's update steers the paddle by the mouse: a game runs, the world moves,
// and no ball is lost first. The frame's input step reads the mouse (and so captures it)
// only then.
bool SteersByMouse(const Run& run);

// A ball below the floor is put back (in a game it costs a life); the world ticks, with
// the paddle steered by the mouse reading of this frame's input while the player steers.
// Returns what the lost ball calls for.
Effects PlayFrame(Run& run, world::Services& services, const world::MouseState& mouse);

// The first of it: a ball below the floor comes back to its start; in a game that costs
// a life, and the last one the game. Returns what that calls for.
Effects CatchLostBall(Run& run, world::Services& services);

// One frame of the get-ready countdown, with its beeps; the digit it shows.
std::int32_t CountdownFrame(Mode& mode, world::Services& services);

}  // namespace zorblet::frame
