#include "frame/program.h"

#include <cstdio>
#include <memory>

#include "highscore/highscore_client.h"
#include "platform/curl_http_transport.h"
#include "platform/platform_error.h"
#include "platform/random.h"
#include "platform/sdl_platform.h"
#include "sound/tone_effects.h"

namespace zorblet::frame {

int RunProgram(FrameObserver* observer, const InputOverrides& overrides) {
    try {
        // Made in this order, undone in the reverse: the transfers stop before the network
        // goes, and the platform shuts down last.
        std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform();
        platform::SeededRandom random(platform->Clock.Ticks());
        auto game = std::make_unique<Game>();
        sound::ToneQueue tones(platform->Tones);
        platform::Keyboard& keyboard = overrides.Keyboard != nullptr ? *overrides.Keyboard : platform->Keyboard;
        platform::Mouse& mouse = overrides.Mouse != nullptr ? *overrides.Mouse : platform->Mouse;
        platform::CurlHttpTransport http;
        highscore::HighscoreClient highscore(http, platform->Clock, ZORBLET_HIGHSCORE_SERVER);
        Devices devices{platform->Screen, keyboard, mouse, platform->Clock, *platform->Fonts, random, tones, highscore};
        if (StartUp(*game, devices, observer) == FrameOutcome::Continue) RunMainLoop(*game, devices, observer);
        return 0;
    } catch (const platform::PlatformError& error) {
        std::fprintf(stderr, "Zorblet: %s\n", error.what());
        return 1;
    }
}

}  // namespace zorblet::frame
