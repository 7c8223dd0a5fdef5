#pragma once

#include "platform/clock.h"

namespace zorblet::platform {

// The monotonic system clock in nanoseconds; sleeps on the same clock.
class PosixClock final : public Clock {
public:
    PosixClock();
    std::uint64_t Counter() override;
    std::uint64_t Frequency() override { return 1'000'000'000; }
    std::uint32_t Ticks() override;
    void SleepMs(int milliseconds) override;
    void SleepUntil(std::uint64_t counter) override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint64_t counter) override;
};

}  // namespace zorblet::platform
