#pragma once
// The function keys, each tested once per frame, on its release, in this order: ESC, F4,
// F1, F2, F3. ESC outside a game, F1 and F3 are the program's, carried out at once; F2,
// F4 and ESC in a game go to the game's rules with the frame's input.

#include "frame/devices.h"
#include "frame/effects.h"
#include "frame/game.h"
#include "platform/keyboard.h"
#include "world/rules.h"

namespace zorblet::frame {

struct FunctionKeys {
    bool Escape = false, F1 = false, F2 = false, F3 = false, F4 = false;
};

FunctionKeys ReadFunctionKeys(platform::KeyTester& keys);

// The program's part; EndProgram when ESC ends the program.
FrameOutcome HandleFunctionKeys(Game& game, Devices& devices, const FunctionKeys& keys);

// The rules' part: the frame's input without its mouse reading.
world::FrameInput RulesKeys(const FunctionKeys& keys);

}  // namespace zorblet::frame
