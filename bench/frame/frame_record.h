#pragma once
// The file through which the probe hands its frame times to the benchmark.

#include <cstdint>

namespace zorblet::bench {

struct FrameTimes {
    std::uint64_t DrawingBegins = 0;  // steady-clock nanoseconds
    std::uint64_t Presented = 0;
    std::uint64_t WaitEnded = 0;
    std::int32_t Lives = 0;  // at the head of the frame
    std::int32_t Countdown = 0;
    // As the frame before left them: best-of rows with text in the table's window, the
    // table's scroll position (tenths of a pixel) and whether the status line told of a
    // running transfer.
    std::int32_t TableRowsShown = 0;
    std::int32_t TableScroll = 0;
    std::int32_t TransferRunning = 0;
};

struct FrameLog {
    std::uint64_t Capacity = 0;
    std::uint64_t Count = 0;
    std::uint64_t FirstPresent = 0;
    FrameTimes Frames[1];  // Capacity entries follow
};

inline std::uint64_t FrameLogBytes(std::uint64_t capacity) {
    return sizeof(FrameLog) + (capacity - 1) * sizeof(FrameTimes);
}

}  // namespace zorblet::bench
