#pragma once

#include <chrono>

namespace zorblet::server {

// Where the protocol's time comes from, so that a test can set it.
class ProtocolClock {
public:
    virtual ~ProtocolClock() = default;
    // A clock that never jumps: allowances refill and repeats expire on it.
    virtual std::chrono::steady_clock::time_point Steady() const = 0;
    // The wall clock: a score stored now is dated with its local day.
    virtual std::chrono::system_clock::time_point Wall() const = 0;
};

// The machine's clocks.
class SystemClock final : public ProtocolClock {
public:
    std::chrono::steady_clock::time_point Steady() const override { return std::chrono::steady_clock::now(); }
    std::chrono::system_clock::time_point Wall() const override { return std::chrono::system_clock::now(); }
};

}  // namespace zorblet::server
