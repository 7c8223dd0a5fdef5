#include "sound/tone_effects.h"

#include <random>

namespace zorblet::sound {

namespace {

// A uniformly distributed integer from 0 to n inclusive. Effects run on threads of
// their own, so each thread draws from a generator of its own and needs no lock.
std::int32_t RandomOnThisThread(std::int32_t n) {
    thread_local std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<std::int32_t>(0, n)(engine);
}

}  // namespace

void PlayCrackle(platform::ToneGenerator& tones) {
    for (int i = 0; i < 50; ++i) tones.Beep(300 + RandomOnThisThread(200), 3);
}

void PlayClick(platform::ToneGenerator& tones, std::int32_t hz) {
    tones.Beep(hz, 20);
}

void PlayLifeLost(platform::ToneGenerator& tones) {
    for (int i = 1; i < 50; i += 2) tones.Beep(400 - i, 20);
}

void PlayBeep(platform::ToneGenerator& tones, std::int32_t hz) {
    tones.Beep(hz, 200);
}

void PlayGameOverTune(platform::ToneGenerator& tones) {
    constexpr struct {
        int Hz;
        int Ms;
    } Notes[] = {{349, 400}, {330, 400}, {294, 400}, {262, 800}};
    for (const auto& note : Notes) {
        tones.Beep(note.Hz, note.Ms);
        tones.Sleep(100);
    }
}

void PlayToneEffect(platform::ToneGenerator& tones, ToneEffect effect, std::int32_t argument) {
    switch (effect) {
        case ToneEffect::Crackle:
            PlayCrackle(tones);
            return;
        case ToneEffect::Click:
            PlayClick(tones, argument);
            return;
        case ToneEffect::LifeLost:
            PlayLifeLost(tones);
            return;
        case ToneEffect::Beep:
            PlayBeep(tones, argument);
            return;
        case ToneEffect::GameOverTune:
            PlayGameOverTune(tones);
            return;
    }
}

}  // namespace zorblet::sound
