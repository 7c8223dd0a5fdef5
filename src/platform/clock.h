#pragma once

#include <cstdint>

namespace zorblet::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // High-resolution counter and its ticks per second.
    virtual std::uint64_t Counter() = 0;
    virtual std::uint64_t Frequency() = 0;
    // Milliseconds of a free-running 32-bit clock; wraps after 49.7 days.
    virtual std::uint32_t Ticks() = 0;
    virtual void SleepMs(int milliseconds) = 0;
    // Sleeps until the counter has reached the given value.
    virtual void SleepUntil(std::uint64_t counter) = 0;
};

}  // namespace zorblet::platform
