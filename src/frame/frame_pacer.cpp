#include "frame/frame_pacer.h"

namespace zorblet::frame {

void FramePacer::SetFrameRate(platform::Clock& clock, int rate) {
    const std::uint64_t frequency = clock.Frequency();
    period_ = frequency / static_cast<std::uint64_t>(rate + 1);
    // Sleeping ends this long before the deadline; the rest is polled, which a
    // sleep's wake-up latency could not match.
    pollMargin_ = frequency / 2000;
}

void FramePacer::WaitForFramePeriod(platform::Clock& clock) {
    if (period_ == 0) return;
    std::uint64_t now = clock.Counter();
    if (!started_) {
        lastPresent_ = now;
        started_ = true;
    }
    while (now - lastPresent_ <= period_) {
        const std::uint64_t deadline = lastPresent_ + period_ + 1;
        if (deadline - now > pollMargin_) clock.SleepUntil(deadline - pollMargin_);
        now = clock.Counter();
    }
    lastPresent_ = now;
}

}  // namespace zorblet::frame
