#pragma once
// The function keys, each on its release, once per frame, in this order: ESC, F4, F1,
// F2, F3. What they do to the state of play is the mode's; here it is carried out.

#include "frame/game.h"
#include "platform/mouse.h"
#include "world/services.h"

namespace zorblet::frame {

enum class FrameOutcome { Continue, EndProgram };

FrameOutcome HandleFunctionKeys(Game& game, platform::Mouse& mouse, world::Services& services);

// Carries out what a change of the mode calls for, but for the game over, which needs
// the devices; false when the program is to end.
FrameOutcome ApplyEffects(Game& game, Effects effects, platform::Mouse& mouse, world::Services& services);

}  // namespace zorblet::frame
