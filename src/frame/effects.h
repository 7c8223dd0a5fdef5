#pragma once
// The one place where the frame carries out what a change of the mode calls for: the
// mode's functions change the state of play and say what follows, and this acts on it.

#include "frame/devices.h"
#include "frame/game.h"
#include "frame/mode.h"
#include "world/services.h"

namespace zorblet::frame {

enum class FrameOutcome { Continue, EndProgram };

// In this order: the end of the program (and nothing else then), the world of a new game,
// the table's restart, the life-lost tone, the mouse's release, the game-over chain, the
// sound switch.
FrameOutcome ApplyEffects(Game& game, Devices& devices, world::Services& services, Effects effects);

}  // namespace zorblet::frame
