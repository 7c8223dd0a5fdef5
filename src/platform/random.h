#pragma once

#include <cstdint>
#include <random>

namespace zorblet::platform {

class Random {
public:
    virtual ~Random() = default;
    // A uniformly distributed integer from 0 to n, n included.
    virtual std::int32_t UpTo(std::int32_t n) = 0;
};

class SeededRandom final : public Random {
public:
    explicit SeededRandom(std::uint32_t seed) : engine_(seed) {}
    std::int32_t UpTo(std::int32_t n) override {
        if (n <= 0) return 0;
        return std::uniform_int_distribution<std::int32_t>(0, n)(engine_);
    }

private:
    std::mt19937 engine_;
};

}  // namespace zorblet::platform
