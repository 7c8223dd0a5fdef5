#pragma once

#include "frame/game.h"
#include "platform/mouse.h"
#include "world/services.h"

namespace zorblet::frame {

enum class FrameOutcome { Continue, EndProgram };

// Tests ESC, F4, F1, F2 and F3 on release, once each, in that order, and applies their effects.
FrameOutcome HandleFunctionKeys(Game& game, platform::Mouse& mouse, world::Services& services);

// F2: a fresh game with three lives; pause, help, sound and a name entry keep their state.
void NewGame(Game& game, world::Services& services);

}  // namespace zorblet::frame
