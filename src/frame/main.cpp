// Zorblet: start-up, the main loop, and the end of the program.

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "frame/main_loop.h"
#include "platform/platform_error.h"
#include "platform/random.h"
#include "platform/sdl_platform.h"

namespace {

// Shuts the platform down and ends the process at once: worker threads are
// not waited for, and no destructor runs under them.
[[noreturn]] void EndProgram(zorblet::platform::SdlPlatform& platform) {
    platform.ShutDown();
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace

int main() {
    using namespace zorblet;
    try {
        std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform();
        platform::SeededRandom random(platform->Clock.Ticks());
        frame::Devices devices{platform->Screen, platform->Keyboard, platform->Mouse,
                               platform->Clock,  *platform->Fonts,  random};
        auto game = std::make_unique<frame::Game>();
        frame::StartUp(*game, devices);
        frame::RunMainLoop(*game, devices);
        EndProgram(*platform);
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "Zorblet: %s\n", error.what());
        return 1;
    }
}
