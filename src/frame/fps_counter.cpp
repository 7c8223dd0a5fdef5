#include "frame/fps_counter.h"

namespace zorblet::frame {

std::int32_t CurrentFps(FpsCounter& counter, platform::Clock& clock) {
    counter.FpsFrames += 1;
    const std::uint32_t now = clock.Ticks();
    if (counter.FpsFrames == 100) {
        // A full window drops its older half: its start moves half-way to now.
        counter.FpsFrames = 50;
        counter.FpsStartTick += static_cast<std::uint32_t>(static_cast<std::int32_t>(now - counter.FpsStartTick) >> 1);
    }
    std::int32_t span = static_cast<std::int32_t>(now - counter.FpsStartTick);
    if (span == 0) span = 1;  // two readings in the same millisecond
    return counter.FpsFrames * 1000 / span;
}

}  // namespace zorblet::frame
