#pragma once
// The five tone effects as the tones and pauses they are made of.

#include <cstdint>
#include <random>
#include <vector>

#include "platform/tone_generator.h"
#include "sound/tone_effect.h"

namespace zorblet::sound {

// The crackle's pitches, drawn apart from the game's random numbers.
using CrackleRandom = std::mt19937;

// The steps of an effect with its argument (the frequency of a click or a beep, unused
// otherwise):
// - Crackle: 50 tones of 3 ms back to back, each at a new random pitch from 300 to 500 Hz;
// - Click: one tone of the argument for 20 ms;
// - LifeLost: 25 falling tones of 20 ms: 399, 397, ..., 351 Hz;
// - Beep: one tone of the argument for 200 ms;
// - GameOverTune: F4, E4, D4 for 400 ms and C4 for 800 ms, each followed by a 100 ms pause.
std::vector<platform::ToneStep> ToneSteps(ToneEffect effect, std::int32_t argument, CrackleRandom& random);

// Plays the effects on the tone generator, each from the moment it is started, beside
// the others; never waits for them.
class ToneQueue final : public ToneStarter {
public:
    explicit ToneQueue(platform::ToneGenerator& tones) : tones_(tones) {}
    void StartTone(ToneEffect effect, std::int32_t argument) override;

private:
    platform::ToneGenerator& tones_;
    CrackleRandom random_{std::random_device{}()};
};

}  // namespace zorblet::sound
