#pragma once
// The world's part of a frame, in the frame's order; the program's frame and the tests
// both step the world with it.

#include "frame/game.h"
#include "frame/mode.h"
#include "platform/mouse.h"
#include "world/services.h"

namespace zorblet::frame {

// A ball below the floor is put back (in a game it costs a life); the mouse is read while
// the player steers; the world ticks. Returns what the lost ball calls for.
Effects PlayFrame(Run& run, world::Services& services, platform::Mouse& mouse);

// The first of it: a ball below the floor comes back to its start; in a game that costs
// a life, and the last one the game. Returns what that calls for.
Effects CatchLostBall(Run& run, world::Services& services);

// One frame of the get-ready countdown, with its beeps; the digit it shows.
std::int32_t CountdownFrame(Mode& mode, world::Services& services);

}  // namespace zorblet::frame
