#pragma once

#include "sound/tone_effect.h"

namespace zorblet::frame {

// The tones the game starts, through the sound switch: F3 does not cut short what plays,
// it is read as an effect starts.
class SwitchedTones final : public sound::ToneStarter {
public:
    SwitchedTones(sound::ToneStarter& tones, const bool& soundOn) : tones_(tones), soundOn_(soundOn) {}

    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        if (soundOn_) tones_.StartTone(effect, argument);
    }

private:
    sound::ToneStarter& tones_;
    const bool& soundOn_;
};

}  // namespace zorblet::frame
