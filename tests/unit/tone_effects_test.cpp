// The five tone effects as they are heard: each started through the tone queue, mixed
// as the sound device mixes it, and the pitches and lengths measured in the samples.

#include "sound/tone_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "platform/tone_mixer.h"

namespace zorblet::sound {
namespace {

constexpr int Rate = 48000;
constexpr int SamplesPerMs = Rate / 1000;

// Hands the mixer's effects to it as the SDL generator does.
class MixerGenerator final : public platform::ToneGenerator {
public:
    platform::ToneMixer Mixer{Rate};
    void Play(std::span<const platform::ToneStep> steps) override { Mixer.Queue(steps); }
};

// Everything an effect plays, and a second of silence after it.
std::vector<float> Hear(ToneEffect effect, std::int32_t argument) {
    MixerGenerator generator;
    ToneQueue queue(generator);
    queue.StartTone(effect, argument);
    std::vector<float> samples;
    std::vector<float> buffer(512);
    for (int silent = 0; silent < Rate;) {
        generator.Mixer.Mix(buffer.data(), static_cast<int>(buffer.size()));
        samples.insert(samples.end(), buffer.begin(), buffer.end());
        if (generator.Mixer.PlayingTones() == 0) silent += static_cast<int>(buffer.size());
    }
    return samples;
}

// Where the samples cross zero between i - 1 and i, interpolated.
double CrossingAt(const std::vector<float>& samples, std::size_t i) {
    return static_cast<double>(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
}

// The pitch in [from, to), from the first and last rising zero crossing and the whole
// periods between them; 0 for silence.
double PitchIn(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    double first = -1, last = -1;
    int periods = -1;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (!(samples[i - 1] < 0.0f && samples[i] > 0.0f)) continue;
        const double at = CrossingAt(samples, i);
        if (first < 0) first = at;
        last = at;
        ++periods;
    }
    return periods > 0 ? periods * Rate / (last - first) : 0.0;
}

// The pitch of a tone too short for whole periods: every tone starts rising from zero, so
// its first falling crossing lies half a period after its start.
double PitchFromHalfPeriod(const std::vector<float>& samples, std::size_t start) {
    for (std::size_t i = start + 1; i < samples.size(); ++i) {
        if (samples[i - 1] > 0.0f && samples[i] < 0.0f) return Rate / (2.0 * (CrossingAt(samples, i) - start));
    }
    return 0.0;
}

float PeakIn(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    float peak = 0.0f;
    for (std::size_t i = from; i < std::min(to, samples.size()); ++i) peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

// The first sample after the last one that sounds.
std::size_t SoundEnd(const std::vector<float>& samples) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (samples[i] != 0.0f) end = i + 1;
    return end;
}

// What the player hears of an effect: tones of these pitches and lengths, back to back;
// a pitch of 0 is a pause.
struct Heard {
    int Hz;
    int Ms;
};

void ExpectHeard(const std::vector<float>& samples, const std::vector<Heard>& expected) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::size_t end = start + static_cast<std::size_t>(expected[i].Ms * SamplesPerMs);
        if (expected[i].Hz == 0) {
            EXPECT_EQ(PeakIn(samples, start, end), 0.0f) << "pause " << i;
        } else {
            EXPECT_NEAR(PitchIn(samples, start, end), expected[i].Hz, 0.5) << "tone " << i;
            EXPECT_GT(PeakIn(samples, start, end), 0.9f * platform::ToneMixer::ToneAmplitude) << "tone " << i;
        }
        start = end;
    }
    // The last pause is silence too: the sound ends where the last tone does.
    std::size_t lastTone = start;
    for (auto step = expected.rbegin(); step != expected.rend() && step->Hz == 0; ++step) {
        lastTone -= static_cast<std::size_t>(step->Ms * SamplesPerMs);
    }
    EXPECT_NEAR(static_cast<double>(SoundEnd(samples)), static_cast<double>(lastTone), 2.0) << "and then silence";
}

TEST(ToneEffectsTest, EachEffectIsHeardWithItsPitchesAndLengths) {
    std::vector<Heard> lifeLost;
    for (int i = 1; i <= 49; i += 2) lifeLost.push_back({400 - i, 20});
    struct Case {
        const char* Name;
        ToneEffect Effect;
        std::int32_t Argument;
        std::vector<Heard> Expected;
    };
    const Case cases[] = {
        {"wall click", ToneEffect::Click, 1100, {{1100, 20}}},
        {"shot click", ToneEffect::Click, 670, {{670, 20}}},
        {"countdown beep", ToneEffect::Beep, 440, {{440, 200}}},
        {"go beep", ToneEffect::Beep, 880, {{880, 200}}},
        {"life lost: falling from 399 to 351 Hz", ToneEffect::LifeLost, 1, lifeLost},
        {"game over: F4, E4, D4, C4",
         ToneEffect::GameOverTune,
         1,
         {{349, 400}, {0, 100}, {330, 400}, {0, 100}, {294, 400}, {0, 100}, {262, 800}, {0, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectHeard(Hear(c.Effect, c.Argument), c.Expected);
    }
}

TEST(ToneEffectsTest, CrackleIsFiftyShortTonesOfFreshRandomPitches) {
    std::set<int> pitches;
    for (int run = 0; run < 4; ++run) {
        const std::vector<float> samples = Hear(ToneEffect::Crackle, 1);
        EXPECT_NEAR(static_cast<double>(SoundEnd(samples)), 150.0 * SamplesPerMs, 2.0) << "150 ms in all";
        for (int tone = 0; tone < 50; ++tone) {
            const auto start = static_cast<std::size_t>(tone * 3 * SamplesPerMs);
            EXPECT_GT(PeakIn(samples, start, start + 3 * SamplesPerMs), 0.5f * platform::ToneMixer::ToneAmplitude);
            const double hz = PitchFromHalfPeriod(samples, start);
            EXPECT_GE(hz, 295.0) << tone;
            EXPECT_LE(hz, 505.0) << tone;
            pitches.insert(static_cast<int>(hz / 10));
        }
    }
    EXPECT_GT(pitches.size(), 10u) << "a fresh random pitch for every tone, all over 300 to 500 Hz";
}

TEST(ToneEffectsTest, CrackleDrawsFromTheWholeRangeTwoEndsIncluded) {
    CrackleRandom random(7);
    std::set<int> pitches;
    for (int i = 0; i < 200; ++i) {
        for (const platform::ToneStep& step : ToneSteps(ToneEffect::Crackle, 1, random)) pitches.insert(step.Hz);
    }
    EXPECT_EQ(*pitches.begin(), 300);
    EXPECT_EQ(*pitches.rbegin(), 500);
    EXPECT_EQ(pitches.size(), 201u);
}

}  // namespace
}  // namespace zorblet::sound
