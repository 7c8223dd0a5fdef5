#include "sound/tone_effects.h"

namespace zorblet::sound {

namespace {

using platform::ToneStep;

constexpr int CrackleTones = 50;
constexpr int LifeLostTones = 25;

std::vector<ToneStep> Crackle(CrackleRandom& random) {
    std::uniform_int_distribution<int> pitch(300, 500);
    std::vector<ToneStep> steps;
    for (int i = 0; i < CrackleTones; ++i) steps.push_back({pitch(random), 3});
    return steps;
}

std::vector<ToneStep> LifeLost() {
    std::vector<ToneStep> steps;
    for (int i = 0; i < LifeLostTones; ++i) steps.push_back({399 - 2 * i, 20});
    return steps;
}

std::vector<ToneStep> GameOverTune() {
    return {{349, 400}, {0, 100}, {330, 400}, {0, 100}, {294, 400}, {0, 100}, {262, 800}, {0, 100}};
}

}  // namespace

std::vector<ToneStep> ToneSteps(ToneEffect effect, std::int32_t argument, CrackleRandom& random) {
    switch (effect) {
        case ToneEffect::Crackle:
            return Crackle(random);
        case ToneEffect::Click:
            return {{argument, 20}};
        case ToneEffect::LifeLost:
            return LifeLost();
        case ToneEffect::Beep:
            return {{argument, 200}};
        case ToneEffect::GameOverTune:
            return GameOverTune();
    }
    return {};
}

void ToneQueue::StartTone(ToneEffect effect, std::int32_t argument) {
    const std::vector<ToneStep> steps = ToneSteps(effect, argument, random_);
    tones_.Play(steps);
}

}  // namespace zorblet::sound
