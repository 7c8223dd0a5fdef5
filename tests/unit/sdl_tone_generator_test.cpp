// The tone generator on SDL's audio, end to end: what reaches the device, and what
// happens without one. SDL's audio layer is chosen by environment variables, so these
// tests run in an executable of their own.

#include "platform/sdl_tone_generator.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sound/tone_effects.h"

namespace zorblet::platform {
namespace {

using namespace std::chrono_literals;

constexpr float Audible = 0.01f * ToneMixer::ToneAmplitude;

// Where the tones lie in a recording: first and last audible sample.
struct Span {
    std::size_t First = 0;
    std::size_t Last = 0;
    std::size_t Length() const { return Last - First + 1; }
};

Span FindSound(const std::vector<float>& samples) {
    Span span;
    bool found = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < Audible) continue;
        if (!found) span.First = i;
        span.Last = i;
        found = true;
    }
    return span;
}

class SdlToneGeneratorTest : public ::testing::Test {
protected:
    // Lets what was queued play to its end, and a little silence after it, then closes
    // the device so that the recording is complete.
    void PlayOut() {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (tones.PlayingTones() > 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(50ms);
        tones.Close();
    }

    void TearDown() override {
        tones.Close();
        SDL_Quit();
        if (!recording.empty()) std::filesystem::remove(recording);
    }

    void OpenOnDriver(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        tones.Open();
    }
    // Opens SDL's disk driver, which writes every sample the device plays to a file,
    // silence included, at the pace of a real device; the file is complete once the
    // device is closed.
    void OpenRecording() {
        recording = std::filesystem::temp_directory_path() /
                    ("zorblet-tones-" + std::to_string(getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw");
        setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
        OpenOnDriver("disk");
        ASSERT_TRUE(tones.HasDevice()) << SDL_GetError();
        std::this_thread::sleep_for(50ms);  // the device is running, as it is long before the game's first tone
    }
    // What the device played, in the format the mixer was given: float mono at SampleRate().
    std::vector<float> ReadRecording() {
        std::ifstream file(recording, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }
    double Milliseconds(std::size_t samples) const { return 1000.0 * samples / tones.SampleRate(); }

    SdlToneGenerator tones;
    std::filesystem::path recording;
};

TEST_F(SdlToneGeneratorTest, ABeepReachesTheDeviceWithItsPitchAndLength) {
    OpenRecording();
    const platform::ToneStep beep[] = {{440, 200}};
    tones.Play(beep);
    PlayOut();

    const std::vector<float> samples = ReadRecording();
    const Span tone = FindSound(samples);
    ASSERT_GT(tone.Last, tone.First) << "no tone in " << samples.size() << " samples";
    EXPECT_NEAR(Milliseconds(tone.Length()), 200.0, 10.0);
    int crossings = 0;
    for (std::size_t i = tone.First + 1; i <= tone.Last; ++i) {
        crossings += (samples[i - 1] < 0.0f) != (samples[i] < 0.0f);
    }
    EXPECT_NEAR(crossings / 2.0 / (Milliseconds(tone.Length()) / 1000.0), 440.0, 5.0);
    EXPECT_LE(*std::max_element(samples.begin(), samples.end()), ToneMixer::OutputLimit);
}

// Back to back, a crackle is one burst of 150 ms (the mixer's tests check the chaining
// exactly); here all of its sound has to come out, in one short burst.
TEST_F(SdlToneGeneratorTest, ACrackleReachesTheDeviceWhole) {
    OpenRecording();
    sound::ToneQueue queue(tones);
    queue.StartTone(sound::ToneEffect::Crackle, 1);
    PlayOut();

    const std::vector<float> samples = ReadRecording();
    const Span crackle = FindSound(samples);
    ASSERT_GT(crackle.Last, crackle.First);
    const auto sounding = std::count_if(samples.begin() + static_cast<std::ptrdiff_t>(crackle.First),
                                        samples.begin() + static_cast<std::ptrdiff_t>(crackle.Last) + 1,
                                        [](float s) { return std::abs(s) >= 1e-3f; });
    EXPECT_GT(Milliseconds(static_cast<std::size_t>(sounding)), 135.0) << "50 tones of 3 ms, each heard";
    EXPECT_GE(Milliseconds(crackle.Length()), 145.0);
    EXPECT_LT(Milliseconds(crackle.Length()), 600.0) << "one burst, not tones scattered over seconds";
}

TEST_F(SdlToneGeneratorTest, WithoutADeviceATonePlaysSilently) {
    OpenOnDriver("nosuchdriver");
    EXPECT_FALSE(tones.HasDevice());
    EXPECT_EQ(tones.SampleRate(), 0);
    const platform::ToneStep beep[] = {{440, 100}};
    tones.Play(beep);
    EXPECT_EQ(tones.PlayingTones(), 0);
}

TEST_F(SdlToneGeneratorTest, EveryEffectIsQueuedAtOnceAndPlaysToItsEndOnTheDevicesThread) {
    OpenOnDriver("dummy");
    ASSERT_TRUE(tones.HasDevice()) << SDL_GetError();
    sound::ToneQueue queue(tones);
    const auto start = std::chrono::steady_clock::now();
    for (sound::ToneEffect effect : {sound::ToneEffect::Crackle, sound::ToneEffect::Click, sound::ToneEffect::LifeLost,
                                     sound::ToneEffect::Beep, sound::ToneEffect::GameOverTune}) {
        queue.StartTone(effect, 1500);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << "the game's thread never waits for a tone";
    EXPECT_EQ(tones.PlayingTones(), 5);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (tones.PlayingTones() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(tones.PlayingTones(), 0) << "the 2.4 s tune has played to its end";
}

}  // namespace
}  // namespace zorblet::platform
