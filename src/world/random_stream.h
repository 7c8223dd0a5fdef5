#pragma once
// The world's random numbers: a stream that a seed fixes completely, the same in every
// build, with a mapping of the game's own from the engine's output to a range.

#include <cstdint>
#include <random>

namespace zorblet::world {

// std::mt19937, whose every output the C++ standard fixes bit for bit, mapped to 0..n by
// Lemire's multiply-and-shift with rejection: for range = n + 1 and a 32-bit draw x, the
// 64-bit product x * range; its low 32 bits below (2^32 - range) mod range mean a new draw,
// else its high 32 bits are the number. This is also what libstdc++'s
// uniform_int_distribution gives on this engine, so the numbers are today's; the
// algorithm no longer depends on the standard library. The seed and the count of draws
// fix the engine's state: they stand for it in the world's hash.
class RandomStream {
public:
    RandomStream() : RandomStream(0) {}
    explicit RandomStream(std::uint32_t seed) : seed_(seed), engine_(seed) {}

    // A uniformly distributed integer from 0 to n, n included; 0 without a draw for n <= 0.
    std::int32_t UpTo(std::int32_t n);

    std::uint32_t Seed() const { return seed_; }
    std::uint64_t Draws() const { return draws_; }

private:
    std::uint32_t Next() {
        ++draws_;
        return static_cast<std::uint32_t>(engine_());
    }

    std::uint32_t seed_;
    std::uint64_t draws_ = 0;
    std::mt19937 engine_;
};

}  // namespace zorblet::world
