#include "store/score_board.h"

#include <random>

namespace zorblet::server {

std::uint64_t ChooseVersionSeed() {
    std::random_device random;
    const std::uint64_t bits = (static_cast<std::uint64_t>(random()) << 32) ^ random();
    return bits & ((std::uint64_t{1} << 48) - 1);
}

}  // namespace zorblet::server
