#include "frame/program.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/platform_error.h"
#include "platform/random.h"
#include "platform/sdl_platform.h"
#include "sound/threaded_tone_starter.h"

namespace zorblet::frame {

namespace {

// Shuts the platform down and ends the process at once: worker threads are
// not waited for, and no destructor runs under them.
[[noreturn]] void EndProgram(platform::SdlPlatform& platform) {
    platform.ShutDown();
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace

int RunProgram(FrameObserver* observer, const InputOverrides& overrides) {
    try {
        std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform();
        platform::SeededRandom random(platform->Clock.Ticks());
        auto game = std::make_unique<Game>();
        sound::ThreadedToneStarter tones(game->SoundOn, platform->Tones);
        platform::Keyboard& keyboard = overrides.Keyboard != nullptr ? *overrides.Keyboard : platform->Keyboard;
        platform::Mouse& mouse = overrides.Mouse != nullptr ? *overrides.Mouse : platform->Mouse;
        Devices devices{platform->Screen, keyboard, mouse, platform->Clock, *platform->Fonts, random, tones};
        StartUp(*game, devices, observer);
        RunMainLoop(*game, devices, observer);
        EndProgram(*platform);
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "Zorblet: %s\n", error.what());
        return 1;
    }
}

}  // namespace zorblet::frame
