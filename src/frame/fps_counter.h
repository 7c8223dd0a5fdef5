#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace zorblet::frame {

// Frames over a window of the last 50 to 100 frames.
struct FpsCounter {
    std::int32_t FpsFrames = 0;
    std::uint32_t FpsStartTick = 0;
};

// Counts this frame and returns frames per second over the window; once per frame.
std::int32_t CurrentFps(FpsCounter& counter, platform::Clock& clock);

}  // namespace zorblet::frame
