#pragma once
// Stand-ins for the tone generator and the tone starter.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/tone_generator.h"
#include "sound/tone_effect.h"

namespace zorblet::testing {

// Records the steps of every effect played, in order.
class RecordingToneGenerator final : public platform::ToneGenerator {
public:
    std::vector<std::vector<platform::ToneStep>> Played;
    void Play(std::span<const platform::ToneStep> steps) override { Played.emplace_back(steps.begin(), steps.end()); }
};

// One tone effect as the game starts it.
struct EffectStart {
    sound::ToneEffect Effect;
    std::int32_t Argument;
    bool operator==(const EffectStart&) const = default;
};

// Records the effects the game starts, in order, without playing them.
class RecordingToneStarter final : public sound::ToneStarter {
public:
    std::vector<EffectStart> Starts;

    void StartTone(sound::ToneEffect effect, std::int32_t argument) override { Starts.push_back({effect, argument}); }
};

}  // namespace zorblet::testing
