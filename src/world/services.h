#pragma once
// What the simulation reaches outside itself: random numbers, tones and the mouse.

#include <cstdint>

#include "sound/tone_effect.h"

namespace zorblet::world {

// One read of the mouse: relative motion since the previous read, and the left button.
struct MouseState {
    std::int32_t DeltaX = 0;
    std::int32_t DeltaY = 0;
    bool LeftButton = false;
};

class Services {
public:
    virtual ~Services() = default;
    // A uniformly distributed integer from 0 to n inclusive.
    virtual std::int32_t Random(std::int32_t n) = 0;
    // Starts a tone effect and returns at once.
    virtual void StartTone(sound::ToneEffect effect, std::int32_t argument) = 0;
    // Reads the mouse, which captures it.
    virtual MouseState ReadMouse() = 0;
};

}  // namespace zorblet::world
