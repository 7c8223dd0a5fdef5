// The mixer that turns tones into samples: pitch, length, fades, limit and blocking.

#include "platform/tone_mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace zorblet::platform {
namespace {

using namespace std::chrono_literals;

constexpr int Rate = 48000;
// A tone at a quarter of the sample rate is at a peak on every odd sample (phase
// 90, 270, ... degrees), so those samples show its envelope times the gain directly.
constexpr int QuarterRateHz = Rate / 4;
constexpr float A = ToneMixer::ToneAmplitude;

bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The largest change of the envelope between neighbouring odd samples.
float LargestEnvelopeStep(const std::vector<float>& samples) {
    float largest = 0.0f;
    for (std::size_t i = 3; i < samples.size(); i += 2) {
        largest = std::max(largest, std::abs(std::abs(samples[i]) - std::abs(samples[i - 2])));
    }
    return largest;
}

float Peak(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    float peak = 0.0f;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

class ToneMixerTest : public ::testing::Test {
protected:
    void TearDown() override {
        mixer.Close();
        for (std::thread& player : players) player.join();
    }

    // Hands a tone to the mixer from a thread of its own, as a tone thread does, and
    // waits until the mixer has it; it starts with the next sample mixed.
    void AddTone(int hz, int ms, std::atomic<bool>* returned = nullptr) {
        const int before = mixer.PlayingTones();
        players.emplace_back([=, this] {
            mixer.PlayTone(hz, ms);
            if (returned != nullptr) *returned = true;
        });
        ASSERT_TRUE(WaitUntil([&] { return mixer.PlayingTones() > before; }));
    }
    // Mixes count samples in buffers of chunk, as the device asks for them.
    void Mix(int count, int chunk = 480) {
        for (int done = 0; done < count; done += chunk) {
            std::vector<float> buffer(std::min(chunk, count - done), 1.0f);
            mixer.Mix(buffer.data(), static_cast<int>(buffer.size()));
            output.insert(output.end(), buffer.begin(), buffer.end());
        }
    }

    ToneMixer mixer{Rate};
    std::vector<std::thread> players;
    std::vector<float> output;
};

TEST_F(ToneMixerTest, SilenceWhileNothingPlays) {
    Mix(2000);
    EXPECT_EQ(Peak(output, 0, output.size()), 0.0f);
}

TEST_F(ToneMixerTest, AToneHasItsPitchAndLastsItsSamplesThenSilence) {
    AddTone(440, 200);
    Mix(9599);  // 200 ms at 48 kHz are 9600 samples
    EXPECT_EQ(mixer.PlayingTones(), 1);
    Mix(1, 1);
    EXPECT_EQ(mixer.PlayingTones(), 0);
    Mix(2000);

    int crossings = 0;
    for (std::size_t i = 1; i < 9600; ++i) crossings += (output[i - 1] < 0.0f) != (output[i] < 0.0f);
    EXPECT_NEAR(crossings / 2.0 / 0.2, 440.0, 5.0) << "frequency from the zero crossings";
    EXPECT_NEAR(Peak(output, 0, 9600), A, 0.01f * A);
    EXPECT_GT(Peak(output, 9500, 9600), 0.5f * A) << "still playing in its last 2 ms";
    EXPECT_EQ(Peak(output, 9600, output.size()), 0.0f) << "silent after its 9600 samples";
}

TEST_F(ToneMixerTest, AToneFadesInAndOutSmoothlyAndAShortOneStillReachesFullAmplitude) {
    AddTone(QuarterRateHz, 3);  // a crackle tone: 144 samples
    Mix(480);
    const std::vector<float> tone(output.begin(), output.begin() + 144);
    for (int i : {0, 1, 2, 141, 142, 143}) EXPECT_LT(std::abs(tone[i]), 0.05f * A) << "sample " << i;
    EXPECT_LT(LargestEnvelopeStep(tone), 0.15f * A) << "no step that clicks";
    const auto full = std::count_if(tone.begin(), tone.end(), [](float s) { return std::abs(s) > 0.99f * A; });
    EXPECT_GE(full, 144 / 2 / 2) << "full amplitude on at least half of its peaks";
    EXPECT_EQ(Peak(output, 144, output.size()), 0.0f);
}

TEST_F(ToneMixerTest, ThirtyLoudTonesAtOnceNeverPassTheLimit) {
    // Same pitch, same start: every tone peaks on the same samples, the worst case.
    for (int i = 0; i < 30; ++i) AddTone(1000, 50);
    Mix(4800);
    EXPECT_LE(Peak(output, 0, output.size()), ToneMixer::OutputLimit + 1e-6f);
    EXPECT_GT(Peak(output, 0, output.size()), 0.99f * ToneMixer::OutputLimit) << "scaled down to the limit, no further";
}

TEST_F(ToneMixerTest, TonesJoiningAndEndingNeverMakeTheOthersJump) {
    // Three in-phase tones that start 400 samples apart: their sum passes the limit
    // while the third fades in, and falls below it as the first two end.
    AddTone(QuarterRateHz, 100);
    Mix(400);
    AddTone(QuarterRateHz, 100);
    Mix(400);
    AddTone(QuarterRateHz, 100);
    Mix(6000);
    EXPECT_LE(Peak(output, 0, output.size()), ToneMixer::OutputLimit + 1e-6f);
    EXPECT_NEAR(std::abs(output[4001]), ToneMixer::OutputLimit, 1e-4f) << "three at once are held at the limit";
    EXPECT_LT(LargestEnvelopeStep(output), 0.15f * A);
}

TEST_F(ToneMixerTest, ToneReturnsOnlyWhenItsLastBufferIsNext) {
    std::atomic<bool> returned = false;
    AddTone(1000, 100, &returned);  // 4800 samples, ten buffers of 480
    Mix(8 * 480);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned) << "two buffers of the tone are still to come";
    Mix(480);
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); })) << "only its last buffer is still to come";
    EXPECT_EQ(mixer.PlayingTones(), 1) << "handed out, not given up: its last buffer still plays";
    Mix(480);
    EXPECT_GT(Peak(output, output.size() - 480, output.size() - 24), 0.5f * A);
}

TEST_F(ToneMixerTest, TonesPlayedBackToBackByOneThreadFollowWithoutAGap) {
    Mix(480);  // the device runs
    players.emplace_back([this] {
        for (int i = 0; i < 3; ++i) mixer.PlayTone(1000, 3);
    });
    players.back().join();  // all three end within the next buffer, so none waits
    players.pop_back();
    output.clear();
    Mix(480);
    for (std::size_t ms = 0; ms < 9; ++ms) EXPECT_GT(Peak(output, ms * 48, ms * 48 + 48), 0.2f * A) << "ms " << ms;
    EXPECT_EQ(Peak(output, 432, 480), 0.0f);
}

TEST_F(ToneMixerTest, AStalledDeviceStillLetsTheToneReturn) {
    const auto start = std::chrono::steady_clock::now();
    mixer.PlayTone(1000, 50);  // nothing mixes
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(mixer.PlayingTones(), 0) << "given up, not played late";
}

TEST_F(ToneMixerTest, ClosingFreesWaitingTonesAndLaterOnesOnlyTakeTheirTime) {
    const auto start = std::chrono::steady_clock::now();
    AddTone(1000, 5000);
    mixer.Close();
    players.back().join();
    players.pop_back();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << "freed by the close, not by its bounded wait";

    const auto later = std::chrono::steady_clock::now();
    mixer.PlayTone(1000, 100);
    EXPECT_GE(std::chrono::steady_clock::now() - later, 100ms);
    EXPECT_EQ(mixer.PlayingTones(), 0);
    Mix(480);
    EXPECT_EQ(Peak(output, 0, output.size()), 0.0f);
}

}  // namespace
}  // namespace zorblet::platform
