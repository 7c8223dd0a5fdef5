#pragma once
// A stand-in for what the world reaches outside itself: the tones it starts, recorded.

#include <cstdint>
#include <vector>

#include "sound/tone_effect.h"
#include "support/tone_fakes.h"

namespace zorblet::testing {

class RecordingTones final : public sound::ToneStarter {
public:
    std::vector<EffectStart> Tones;

    void StartTone(sound::ToneEffect effect, std::int32_t argument) override { Tones.push_back({effect, argument}); }

    int CountTones(sound::ToneEffect effect, std::int32_t argument) const {
        int count = 0;
        for (const auto& tone : Tones) count += tone == EffectStart{effect, argument};
        return count;
    }
};

}  // namespace zorblet::testing
