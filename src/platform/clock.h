#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

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
    // Waits on wake, with lock held by the caller and released meanwhile, until wake is
    // notified or the counter has reached the given value; returns with lock held. It may
    // return early, so the caller looks at the counter and its own state again.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           std::uint64_t counter) = 0;
};

// The counter ticks a span of time takes on the clock.
inline std::uint64_t TicksIn(Clock& clock, std::chrono::milliseconds span) {
    return static_cast<std::uint64_t>(span.count()) * clock.Frequency() / 1000;
}

}  // namespace zorblet::platform
