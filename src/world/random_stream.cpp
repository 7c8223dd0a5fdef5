#include "world/random_stream.h"

namespace zorblet::world {

std::int32_t RandomStream::UpTo(std::int32_t n) {
    if (n <= 0) return 0;
    const auto range = static_cast<std::uint32_t>(n) + 1;
    std::uint64_t product = std::uint64_t{Next()} * range;
    auto low = static_cast<std::uint32_t>(product);
    if (low < range) {
        const std::uint32_t threshold = (0u - range) % range;  // 2^32 mod range
        while (low < threshold) {
            product = std::uint64_t{Next()} * range;
            low = static_cast<std::uint32_t>(product);
        }
    }
    return static_cast<std::int32_t>(product >> 32);
}

}  // namespace zorblet::world
