#pragma once
// A float's bits as an integer. std::bit_cast would say it, but the C++ library of the
// browser build (emscripten 3.1.6's libc++ 13) lacks it; a copy of the bytes is the same
// in every build, and compilers turn it into one move.

#include <cstdint>
#include <cstring>

namespace zorblet {

inline std::uint32_t FloatBits(float value) {
    static_assert(sizeof(float) == sizeof(std::uint32_t));
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace zorblet
