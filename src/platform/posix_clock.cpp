#include "platform/posix_clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace zorblet::platform {

namespace {

constexpr std::uint64_t NanosPerSecond = 1'000'000'000;

timespec ToTimespec(std::uint64_t nanos) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(nanos / NanosPerSecond);
    t.tv_nsec = static_cast<long>(nanos % NanosPerSecond);
    return t;
}

void SleepOn(int flags, const timespec& t) {
    while (clock_nanosleep(CLOCK_MONOTONIC, flags, &t, nullptr) == EINTR) {
    }
}

}  // namespace

PosixClock::PosixClock() {
    // The default 50 us timer slack would make every frame's sleep overshoot.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

std::uint64_t PosixClock::Counter() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * NanosPerSecond + static_cast<std::uint64_t>(t.tv_nsec);
}

std::uint32_t PosixClock::Ticks() {
    return static_cast<std::uint32_t>(Counter() / 1'000'000);
}

void PosixClock::SleepMs(int milliseconds) {
    if (milliseconds <= 0) return;
    // Absolute target, so that a signal cannot stretch the sleep.
    SleepOn(TIMER_ABSTIME, ToTimespec(Counter() + static_cast<std::uint64_t>(milliseconds) * 1'000'000));
}

void PosixClock::SleepUntil(std::uint64_t counter) {
    SleepOn(TIMER_ABSTIME, ToTimespec(counter));
}

void PosixClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint64_t counter) {
    const std::uint64_t now = Counter();
    // The condition variable times its waits on the same monotonic clock.
    if (counter > now) wake.wait_for(lock, std::chrono::nanoseconds(counter - now));
}

}  // namespace zorblet::platform
