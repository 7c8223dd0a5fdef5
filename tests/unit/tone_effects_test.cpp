// The five tone effects, as the tones and pauses they play.

#include "sound/tone_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "support/tone_fakes.h"

namespace zorblet::sound {
namespace {

using testing::BeepCall;
using testing::RecordingToneGenerator;
using testing::SleepCall;
using testing::ToneCall;

std::vector<ToneCall> FallingLifeLostTones() {
    std::vector<ToneCall> tones;
    for (int hz = 399; hz >= 351; hz -= 2) tones.push_back(BeepCall(hz, 20));
    return tones;
}

TEST(ToneEffectsTest, EachEffectPlaysItsTonesAndPausesInOrder) {
    struct Case {
        const char* Name;
        ToneEffect Effect;
        std::int32_t Argument;
        std::vector<ToneCall> Expected;
    };
    const Case cases[] = {
        {"wall click", ToneEffect::Click, 1100, {BeepCall(1100, 20)}},
        {"shot click", ToneEffect::Click, 670, {BeepCall(670, 20)}},
        {"countdown beep", ToneEffect::Beep, 440, {BeepCall(440, 200)}},
        {"go beep", ToneEffect::Beep, 880, {BeepCall(880, 200)}},
        {"life lost", ToneEffect::LifeLost, 1, FallingLifeLostTones()},
        {"game over",
         ToneEffect::GameOverTune,
         1,
         {BeepCall(349, 400), SleepCall(100), BeepCall(330, 400), SleepCall(100), BeepCall(294, 400), SleepCall(100),
          BeepCall(262, 800), SleepCall(100)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RecordingToneGenerator tones;
        PlayToneEffect(tones, c.Effect, c.Argument);
        EXPECT_EQ(tones.Calls(), c.Expected);
    }
}

TEST(ToneEffectsTest, CrackleIsFiftyShortTonesOfRandomPitch) {
    RecordingToneGenerator tones;
    PlayToneEffect(tones, ToneEffect::Crackle, 1);
    const std::vector<ToneCall> calls = tones.Calls();
    ASSERT_EQ(calls.size(), 50u);
    std::set<int> pitches;
    for (const ToneCall& call : calls) {
        EXPECT_EQ(call.What, ToneCall::Kind::Beep);
        EXPECT_EQ(call.Ms, 3);
        EXPECT_GE(call.Hz, 300);
        EXPECT_LE(call.Hz, 500);
        pitches.insert(call.Hz);
    }
    EXPECT_GT(pitches.size(), 10u) << "a fresh random pitch for every tone";
}

TEST(ToneEffectsTest, CracklesOnManyThreadsReachBothEndsOfTheirRange) {
    // Each thread has a generator of its own; together they must still cover 300..500.
    RecordingToneGenerator tones;
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { PlayCrackle(tones); });
    for (std::thread& thread : threads) thread.join();
    const std::vector<ToneCall> calls = tones.Calls();
    const auto [lowest, highest] =
        std::minmax_element(calls.begin(), calls.end(), [](auto& a, auto& b) { return a.Hz < b.Hz; });
    EXPECT_LE(lowest->Hz, 310);
    EXPECT_GE(highest->Hz, 490);
}

}  // namespace
}  // namespace zorblet::sound
