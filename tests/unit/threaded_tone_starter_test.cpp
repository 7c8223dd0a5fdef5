// Tone effects on detached threads: started without waiting, gated once by the sound flag.

#include "sound/threaded_tone_starter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "support/keep_forever.h"
#include "support/thread_count.h"
#include "support/tone_fakes.h"

namespace zorblet::sound {
namespace {

using testing::BeepCall;
using testing::RecordingToneGenerator;
using testing::SleepCall;
using testing::ToneCall;

// Nothing joins the effect threads, so the flag and the recorder they use are never
// destroyed; each test still waits until its threads have gone, so that none runs on
// into the next test.
class ThreadedToneStarterTest : public ::testing::Test {
protected:
    void SetUp() override { threadsBefore = testing::CountThreadsBeforeTest(); }
    void TearDown() override {
        tones.ReleaseBeeps();
        EXPECT_TRUE(testing::WaitForThreadsAtMost(threadsBefore)) << "effect threads still run";
    }

    int threadsBefore = 0;
    std::atomic<std::int32_t>& soundOn = testing::KeepForever<std::atomic<std::int32_t>>(1);
    RecordingToneGenerator& tones = testing::KeepForever<RecordingToneGenerator>();
    ThreadedToneStarter starter{soundOn, tones};
};

TEST_F(ThreadedToneStarterTest, WithTheSoundOffEveryEffectEndsWithoutATone) {
    soundOn = 0;
    for (ToneEffect effect :
         {ToneEffect::Crackle, ToneEffect::Click, ToneEffect::LifeLost, ToneEffect::Beep, ToneEffect::GameOverTune}) {
        starter.StartTone(effect, 1000);
    }
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    EXPECT_TRUE(tones.Calls().empty());
}

TEST_F(ThreadedToneStarterTest, StartToneReturnsWhileTheTunePlays) {
    tones.HoldBeeps();
    starter.StartTone(ToneEffect::GameOverTune, 1);
    // The tune's first tone is held until released below: had StartTone waited for
    // the tune, this test would never get here.
    ASSERT_TRUE(tones.WaitForHeldBeeps(1));
    EXPECT_EQ(tones.Calls(), std::vector<ToneCall>{BeepCall(349, 400)});
    tones.ReleaseBeeps();
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    EXPECT_EQ(tones.Calls().size(), 8u);
}

TEST_F(ThreadedToneStarterTest, SwitchingTheSoundOffDoesNotCutARunningTuneShort) {
    tones.HoldBeeps();
    starter.StartTone(ToneEffect::GameOverTune, 1);
    ASSERT_TRUE(tones.WaitForHeldBeeps(1));
    soundOn = 0;  // F3 during the tune
    tones.ReleaseBeeps();
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    const std::vector<ToneCall> calls = tones.Calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls.back(), SleepCall(100));
}

TEST_F(ThreadedToneStarterTest, SwitchingTheSoundOnDoesNotReviveAnEffectStartedWhileOff) {
    soundOn = 0;
    starter.StartTone(ToneEffect::Beep, 440);
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    soundOn = 1;
    starter.StartTone(ToneEffect::Beep, 880);
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    EXPECT_EQ(tones.Calls(), std::vector<ToneCall>{BeepCall(880, 200)});
}

TEST_F(ThreadedToneStarterTest, EffectsStartedBackToBackPlayAtTheSameTime) {
    tones.HoldBeeps();
    starter.StartTone(ToneEffect::LifeLost, 1);
    starter.StartTone(ToneEffect::Click, 1500);
    starter.StartTone(ToneEffect::Click, 1500);
    // All three first tones wait at once: each effect runs on a thread of its own.
    ASSERT_TRUE(tones.WaitForHeldBeeps(3));
    tones.ReleaseBeeps();
    ASSERT_TRUE(testing::WaitForThreadsAtMost(threadsBefore));
    const std::vector<ToneCall> calls = tones.Calls();
    EXPECT_EQ(calls.size(), 27u);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), BeepCall(1500, 20)), 2);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), BeepCall(351, 20)), 1);
}

}  // namespace
}  // namespace zorblet::sound
