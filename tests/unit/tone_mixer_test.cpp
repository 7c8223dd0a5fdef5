// The mixer that turns tone effects into samples: pitch, length, fades, limit, queueing.

#include "platform/tone_mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace zorblet::platform {
namespace {

using namespace std::chrono_literals;

constexpr int Rate = 48000;
// A tone at a quarter of the sample rate is at a peak on every odd sample (phase
// 90, 270, ... degrees), so those samples show its envelope times the gain directly.
constexpr int QuarterRateHz = Rate / 4;
constexpr float A = ToneMixer::ToneAmplitude;

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
    // An effect of one tone; it starts with the next sample mixed.
    void AddTone(int hz, int ms) {
        const ToneStep tone[] = {{hz, ms}};
        mixer.Queue(tone);
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

TEST_F(ToneMixerTest, StepsOfAnEffectFollowWithoutAGapAndPausesAreSilent) {
    Mix(480);  // the device runs
    output.clear();
    const ToneStep steps[] = {{1000, 3}, {1000, 3}, {0, 2}, {1000, 3}};  // 144, 144, 96 and 144 samples
    mixer.Queue(steps);
    Mix(960);
    for (std::size_t ms = 0; ms < 6; ++ms) EXPECT_GT(Peak(output, ms * 48, ms * 48 + 48), 0.2f * A) << "ms " << ms;
    EXPECT_EQ(Peak(output, 288, 384), 0.0f) << "the pause";
    EXPECT_GT(Peak(output, 384, 528), 0.5f * A) << "the tone after it";
    EXPECT_EQ(Peak(output, 528, output.size()), 0.0f);
}

TEST_F(ToneMixerTest, AnEffectStartsWithTheNextBufferWhateverTheBufferSize) {
    Mix(1000, 1000);
    output.clear();
    const ToneStep click[] = {{QuarterRateHz, 20}};
    mixer.Queue(click);
    EXPECT_EQ(Peak(output, 0, output.size()), 0.0f);
    Mix(100, 100);
    EXPECT_GT(Peak(output, 0, 100), 0.5f * A) << "from its first samples on";
}

TEST_F(ToneMixerTest, QueueingNeverWaitsEvenWhenTheDeviceStalls) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        const ToneStep beep[] = {{440, 200}};
        mixer.Queue(beep);  // nothing mixes
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(mixer.PlayingTones(), static_cast<int>(ToneMixer::MaxVoices)) << "more at once are not heard";
}

TEST_F(ToneMixerTest, ClosingDropsWhatPlaysAndLaterEffectsAreSilent) {
    AddTone(1000, 5000);
    Mix(480);
    mixer.Close();
    EXPECT_EQ(mixer.PlayingTones(), 0);
    AddTone(1000, 100);
    output.clear();
    Mix(480);
    EXPECT_EQ(mixer.PlayingTones(), 0);
    EXPECT_EQ(Peak(output, 0, output.size()), 0.0f);
}

}  // namespace
}  // namespace zorblet::platform
