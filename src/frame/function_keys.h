#pragma once
// The function keys, each on its release, once per frame, in this order: ESC, F4, F1,
// F2, F3. What they do to the state of play is the mode's; what that calls for is
// carried out with the other effects.

#include "frame/devices.h"
#include "frame/effects.h"
#include "frame/game.h"
#include "world/services.h"

namespace zorblet::frame {

FrameOutcome HandleFunctionKeys(Game& game, Devices& devices, world::Services& services);

}  // namespace zorblet::frame
