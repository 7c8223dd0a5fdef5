#pragma once
// What the world's tick is told of each frame, and what it reaches outside itself: the
// tones it starts. Everything else it needs, its random numbers included, is its own.

#include <cstdint>

#include "sound/tone_effect.h"

namespace zorblet::world {

// One read of the mouse: relative motion since the previous read, and the left button.
struct MouseState {
    std::int32_t DeltaX = 0;
    std::int32_t DeltaY = 0;
    bool LeftButton = false;
};

// The state of play as the world sees it in one frame, and the player's mouse.
struct TickInput {
    bool InGame = false;  // a game runs: the mouse steers and points count
    bool Moving = true;   // ball and paddle move, target and extras grow: no pause, no countdown
    bool Paused = false;  // nothing moves at all, but a live gate narrows
    MouseState Mouse;     // this frame's read; used when InGame and Moving
};

}  // namespace zorblet::world
