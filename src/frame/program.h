#pragma once

#include <span>

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

// The whole program on the machine's platform: the command line and the settings file,
// start-up, the main loop, the end. arguments leaves out the program's name.
// Returns the exit code: 0 when the program was ended (or --help or --version answered),
// 1 when the platform cannot be set up, 2 for bad input on the command line or in the
// environment (told before any window opens).
int RunProgram(std::span<const char* const> arguments, FrameObserver* observer = nullptr,
               const InputOverrides& overrides = {});

}  // namespace zorblet::frame
