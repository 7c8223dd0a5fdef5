#pragma once
// The one place where the frame carries out what a change of the state of play or of the
// mode calls for: the rules' step and the mode's functions change the state and say what
// follows, and this acts on it.

#include "frame/devices.h"
#include "frame/game.h"
#include "frame/mode.h"

namespace zorblet::frame {

enum class FrameOutcome { Continue, EndProgram };

// In this order: the end of the program (and nothing else then), the table's restart, the
// mouse's release, the game-over chain, the sound switch.
FrameOutcome ApplyEffects(Game& game, Devices& devices, Effects effects);

}  // namespace zorblet::frame
