#pragma once
// Plays each tone effect on a detached worker thread of its own.

#include <atomic>
#include <cstdint>

#include "platform/tone_generator.h"
#include "sound/tone_effect.h"

namespace zorblet::sound {

class ThreadedToneStarter final : public ToneStarter {
public:
    // soundOn is the game's sound flag (0 or 1); it and tones must outlive every
    // effect thread, i.e. live until the process ends.
    ThreadedToneStarter(const std::atomic<std::int32_t>& soundOn, platform::ToneGenerator& tones)
        : soundOn_(soundOn), tones_(tones) {}

    // Starts a detached thread that reads the sound flag once and, when it is on, plays
    // the effect; returns at once. A thread that cannot be started is no tone.
    void StartTone(ToneEffect effect, std::int32_t argument) override;

private:
    const std::atomic<std::int32_t>& soundOn_;
    platform::ToneGenerator& tones_;
};

}  // namespace zorblet::sound
