#pragma once

#include <cstdint>

namespace zorblet::sound {

// The game's five tone effects.
enum class ToneEffect {
    Crackle,       // 50 random tones of 3 ms, 300 to 500 Hz
    Click,         // one 20 ms tone of the argument's frequency
    LifeLost,      // 25 falling tones of 20 ms
    Beep,          // one 200 ms tone of the argument's frequency
    GameOverTune,  // F4, E4, D4, C4 with pauses
};

// Starts tone effects and never waits for them.
class ToneStarter {
public:
    virtual ~ToneStarter() = default;
    // Starts the effect and returns at once; argument is the frequency of a click or a
    // beep, unused (1) for the others.
    virtual void StartTone(ToneEffect effect, std::int32_t argument) = 0;
};

}  // namespace zorblet::sound
