#pragma once
// Where the seeds of the world's random numbers come from: the menu's demonstration gets
// one at start-up, each game one when it starts.

#include <cstdint>
#include <exception>
#include <random>

namespace zorblet::platform {

class Random {
public:
    virtual ~Random() = default;
    virtual std::uint32_t NextSeed() = 0;
};

// Seeds in a sequence its own seed fixes; tests and benchmarks replay a run with it.
class SeededRandom final : public Random {
public:
    explicit SeededRandom(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t NextSeed() override { return static_cast<std::uint32_t>(engine_()); }

private:
    std::mt19937 engine_;
};

// A seed for a run of the program: from the system's random device, or, where it has
// none, the fallback (the clock's tick count).
inline std::uint32_t SystemSeed(std::uint32_t fallback) {
    try {
        return std::random_device{}();
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace zorblet::platform
