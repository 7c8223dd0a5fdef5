#include "frame/frame_pacer.h"

namespace zorblet::frame {

void FramePacer::SetFrameRate(platform::Clock& clock, int rate) {
    const std::uint64_t frequency = clock.Frequency();
    period_ = frequency / static_cast<std::uint64_t>(rate + 1);
    // Sleeping ends 0.1 ms before the deadline and the rest is polled: a sleep alone
    // could wake late, polling alone would burn a core. The sleep runs without timer
    // slack and wakes within tens of microseconds; each 0.1 ms polled costs 1.2 % of a
    // core at 120 frames a second.
    pollMargin_ = frequency / 10000;
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
