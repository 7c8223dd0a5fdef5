#pragma once

#include "frame/main_loop.h"

namespace zorblet::frame {

// The whole program on the machine's platform: start-up, the main loop, the end.
// Returns only when the platform cannot be set up (exit code 1); otherwise the
// process ends from inside with code 0.
int RunProgram(FrameObserver* observer = nullptr);

}  // namespace zorblet::frame
