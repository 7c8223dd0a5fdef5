// Frame pacing and the FPS reading, against a clock the test moves.

#include <gtest/gtest.h>

#include <vector>

#include "frame/fps_counter.h"
#include "frame/frame_pacer.h"
#include "support/fakes.h"

namespace zorblet::frame {
namespace {

using testing::FakeClock;

TEST(CurrentFps, SteadyRateIsReadExactlyInEveryFrame) {
    for (int frameMs : {10, 8, 5}) {
        FakeClock clock;
        FpsCounter counter{0, clock.Ticks()};
        for (int frame = 1; frame <= 1000; ++frame) {
            clock.AdvanceMs(static_cast<std::uint64_t>(frameMs));
            ASSERT_EQ(CurrentFps(counter, clock), 1000 / frameMs) << frameMs << " ms, frame " << frame;
        }
        EXPECT_GE(counter.FpsFrames, 50);
        EXPECT_LT(counter.FpsFrames, 100);
    }
}

TEST(CurrentFps, SlowStartUpReadsLowThenConvergesByHalving) {
    FakeClock clock;
    FpsCounter counter{0, clock.Ticks()};
    clock.AdvanceMs(2000);  // a slow start before the first frame
    std::int32_t reading = 0;
    for (int frame = 1; frame <= 99; ++frame) {
        clock.AdvanceMs(10);
        reading = CurrentFps(counter, clock);
    }
    EXPECT_EQ(reading, 99 * 1000 / (2000 + 990));
    clock.AdvanceMs(10);
    EXPECT_EQ(CurrentFps(counter, clock), 50 * 1000 / (3000 - (3000 >> 1))) << "the 100th frame halves the window";
    // Each full window moves its start half-way to now: the excess halves every 50 frames,
    // down to the one millisecond that the rounded-down shift leaves.
    for (int frame = 101; frame <= 700; ++frame) {
        clock.AdvanceMs(10);
        reading = CurrentFps(counter, clock);
        if (frame > 650) {
            EXPECT_GE(reading, 99) << frame;
        }
    }
}

TEST(CurrentFps, HalvingShiftsTheSpanAndNeverDividesByZero) {
    FakeClock clock;
    FpsCounter counter{99, clock.Ticks() - 1001};  // the next frame fills the window
    EXPECT_EQ(CurrentFps(counter, clock), 50 * 1000 / 501) << "start moves by 1001 >> 1 = 500";
    EXPECT_EQ(counter.FpsFrames, 50);
    EXPECT_EQ(counter.FpsStartTick, clock.Ticks() - 501);

    FpsCounter sameTick{0, clock.Ticks()};
    EXPECT_GT(CurrentFps(sameTick, clock), 0) << "no time passed since the start";
}

TEST(CurrentFps, TickCounterWrapIsHarmless) {
    FakeClock clock;
    clock.Now = 0xFFFFFF00ull * 1'000'000;  // ticks about to wrap
    FpsCounter counter{0, clock.Ticks()};
    for (int frame = 1; frame <= 300; ++frame) {
        clock.AdvanceMs(10);
        ASSERT_EQ(CurrentFps(counter, clock), 100) << frame;
    }
}

class FramePacerTest : public ::testing::Test {
protected:
    FramePacerTest() {
        clock.ReadCost = 1'000;      // 1 us per counter read
        clock.WakeLatency = 60'000;  // a sleep overshoots by 60 us
        pacer.SetFrameRate(clock, 120);
    }
    FakeClock clock;
    FramePacer pacer;
};

TEST_F(FramePacerTest, PeriodIsTheFrequencyOver121) {
    EXPECT_EQ(pacer.Period(), 1'000'000'000u / 121);
}

TEST_F(FramePacerTest, WaitsEndMoreThanOnePeriodApartWithoutPollingThePeriod) {
    pacer.WaitForFramePeriod(clock);  // the first wait starts afresh
    std::uint64_t previousEnd = clock.Now;
    for (int frame = 0; frame < 200; ++frame) {
        clock.Now += 4'000'000;  // 4 ms of work and the frame's head sleep
        clock.Reads = 0;
        clock.SleepTargets.clear();
        pacer.WaitForFramePeriod(clock);
        // One sleep, ending a tenth of a millisecond before the deadline; the rest is polled.
        const std::uint64_t deadline = previousEnd + pacer.Period() + 1;
        EXPECT_EQ(clock.SleepTargets, std::vector<std::uint64_t>{deadline - 100'000}) << frame;
        const std::uint64_t spacing = clock.Now - previousEnd;
        EXPECT_GT(spacing, pacer.Period()) << frame;
        EXPECT_LT(spacing, pacer.Period() + 20'000) << "ends within 20 us of the deadline, frame " << frame;
        // Only the last tenth of a millisecond is polled, at 1 us a read: not the 4 ms left.
        EXPECT_LT(clock.Reads, 150) << frame;
        previousEnd = clock.Now;
    }
}

TEST_F(FramePacerTest, FirstWaitLastsOnePeriod) {
    const std::uint64_t start = clock.Now;
    pacer.WaitForFramePeriod(clock);
    EXPECT_GT(clock.Now - start, pacer.Period());
    EXPECT_LT(clock.Now - start, pacer.Period() + 20'000);
}

TEST_F(FramePacerTest, LateFrameIsNotDelayedFurther) {
    pacer.WaitForFramePeriod(clock);
    clock.Now += 30'000'000;  // a 30 ms frame
    clock.SleepTargets.clear();
    const std::uint64_t before = clock.Now;
    pacer.WaitForFramePeriod(clock);
    EXPECT_TRUE(clock.SleepTargets.empty());
    EXPECT_LT(clock.Now - before, 10'000u);
}

TEST_F(FramePacerTest, NoCounterMeansNoWaiting) {
    FakeClock noCounter;
    noCounter.FrequencyValue = 0;
    FramePacer unpaced;
    unpaced.SetFrameRate(noCounter, 120);
    const std::uint64_t before = noCounter.Now;
    unpaced.WaitForFramePeriod(noCounter);
    EXPECT_EQ(noCounter.Now, before);
}

}  // namespace
}  // namespace zorblet::frame
