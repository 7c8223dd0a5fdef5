#pragma once
// Stand-ins for what the world reaches outside itself: a seeded or scripted random
// source, a tone recorder and pop-up texts measured in a fixed width per character.

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "platform/random.h"
#include "sound/tone_effect.h"
#include "support/tone_fakes.h"
#include "world/services.h"

namespace zorblet::testing {

class FakeServices final : public world::Services {
public:
    explicit FakeServices(std::uint32_t seed = 1) : random_(seed) {}

    // Served first, one per draw (capped at the draw's n); then the seeded source.
    std::deque<std::int32_t> ScriptedRandom;
    std::vector<EffectStart> Tones;
    std::int32_t PopupCharWidth = 10;

    std::int32_t RandomUpTo(std::int32_t n) override {
        if (ScriptedRandom.empty()) return random_.UpTo(n);
        const std::int32_t value = ScriptedRandom.front();
        ScriptedRandom.pop_front();
        return value < n ? value : n;
    }
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override { Tones.push_back({effect, argument}); }
    std::int32_t PopupHalfWidth(std::string_view text) override {
        return static_cast<std::int32_t>(text.size()) * PopupCharWidth / 2;
    }

    int CountTones(sound::ToneEffect effect, std::int32_t argument) const {
        int count = 0;
        for (const auto& tone : Tones) count += tone == EffectStart{effect, argument};
        return count;
    }

private:
    platform::SeededRandom random_;
};

}  // namespace zorblet::testing
