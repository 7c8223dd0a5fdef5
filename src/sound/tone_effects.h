#pragma once
// The five tone effects as sequences of tones and pauses on a tone generator.

#include <cstdint>

#include "platform/tone_generator.h"
#include "sound/tone_effect.h"

namespace zorblet::sound {

// 50 tones of 3 ms back to back, each at a new random frequency from 300 to 500 Hz.
void PlayCrackle(platform::ToneGenerator& tones);
// One tone of hz for 20 ms.
void PlayClick(platform::ToneGenerator& tones, std::int32_t hz);
// 25 falling tones of 20 ms: 399, 397, ..., 351 Hz.
void PlayLifeLost(platform::ToneGenerator& tones);
// One tone of hz for 200 ms.
void PlayBeep(platform::ToneGenerator& tones, std::int32_t hz);
// F4, E4, D4 for 400 ms and C4 for 800 ms, each followed by a 100 ms pause.
void PlayGameOverTune(platform::ToneGenerator& tones);

// Plays the effect with its argument (the frequency of a click or a beep, unused otherwise).
void PlayToneEffect(platform::ToneGenerator& tones, ToneEffect effect, std::int32_t argument);

}  // namespace zorblet::sound
