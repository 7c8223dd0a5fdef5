#pragma once
// What the world reaches outside itself, and what the frame tells it each tick.

#include <cstdint>
#include <string_view>

#include "sound/tone_effect.h"

namespace zorblet::world {

// One read of the mouse: relative motion since the previous read, and the left button.
struct MouseState {
    std::int32_t DeltaX = 0;
    std::int32_t DeltaY = 0;
    bool LeftButton = false;
};

// The state of play as the world sees it in one frame, and the player's mouse.
struct FrameInput {
    bool InGame = false;  // a game runs: the mouse steers and points count
    bool Moving = true;   // ball and paddle move, target and extras grow: no pause, no countdown
    bool Paused = false;  // nothing moves at all, but a live gate narrows
    MouseState Mouse;     // read in this frame when InGame and Moving
};

class Services {
public:
    virtual ~Services() = default;
    // A uniformly distributed integer from 0 to n, n included.
    virtual std::int32_t RandomUpTo(std::int32_t n) = 0;
    // Starts a tone effect and returns at once.
    virtual void StartTone(sound::ToneEffect effect, std::int32_t argument) = 0;
    // Half the width of a pop-up's text as it is drawn, rounded down.
    virtual std::int32_t PopupHalfWidth(std::string_view text) = 0;
};

}  // namespace zorblet::world
