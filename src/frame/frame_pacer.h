#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace zorblet::frame {

// Holds the frame rate: each frame's wait ends at least one period after the previous one's.
class FramePacer {
public:
    // Period = counter frequency / (rate + 1); without a counter frames are not paced.
    void SetFrameRate(platform::Clock& clock, int rate);
    // Waits until more than one period has passed since the previous wait ended.
    void WaitForFramePeriod(platform::Clock& clock);

    std::uint64_t Period() const { return period_; }

private:
    std::uint64_t period_ = 0;
    std::uint64_t pollMargin_ = 0;
    std::uint64_t lastPresent_ = 0;
    bool started_ = false;
};

}  // namespace zorblet::frame
