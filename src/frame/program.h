#pragma once

#include "frame/main_loop.h"
#include "platform/keyboard.h"
#include "platform/mouse.h"

namespace zorblet::frame {

// Stand-ins for the player's keyboard and mouse, with which a benchmark plays the real
// program; a device left out is the machine's own.
struct InputOverrides {
    platform::Keyboard* Keyboard = nullptr;
    platform::Mouse* Mouse = nullptr;
};

// The whole program on the machine's platform: start-up, the main loop, the end.
// Returns the exit code: 0 when the program was ended, 1 when the platform cannot be
// set up.
int RunProgram(FrameObserver* observer = nullptr, const InputOverrides& overrides = {});

}  // namespace zorblet::frame
