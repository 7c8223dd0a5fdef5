#include "frame/program.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "highscore/highscore_client.h"
#include "platform/curl_http_transport.h"
#include "platform/platform_error.h"
#include "platform/random.h"
#include "platform/sdl_platform.h"
#include "sound/threaded_tone_starter.h"

namespace zorblet::frame {

namespace {

// Shuts the platform down and ends the process at once: worker threads are
// not waited for, and no destructor runs under them.
[[noreturn]] void ExitProgram(platform::SdlPlatform& platform) {
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
        static const std::atomic<std::int32_t> soundOn = 1;
        sound::ThreadedToneStarter tones(soundOn, platform->Tones);
        platform::Keyboard& keyboard = overrides.Keyboard != nullptr ? *overrides.Keyboard : platform->Keyboard;
        platform::Mouse& mouse = overrides.Mouse != nullptr ? *overrides.Mouse : platform->Mouse;
        platform::CurlHttpTransport http;
        highscore::HighscoreClient highscore(http, platform->Clock, ZORBLET_HIGHSCORE_SERVER);
        Devices devices{platform->Screen, keyboard, mouse, platform->Clock, *platform->Fonts, random, tones, highscore};
        if (StartUp(*game, devices, observer) == FrameOutcome::Continue) RunMainLoop(*game, devices, observer);
        ExitProgram(*platform);
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "Zorblet: %s\n", error.what());
        return 1;
    }
}

}  // namespace zorblet::frame
