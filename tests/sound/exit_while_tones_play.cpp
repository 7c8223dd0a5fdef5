// Ends the program the way the game does, ShutDown and then _Exit(0), while twenty tone
// threads still play. Exits with 0 when that is clean; the sanitizer builds turn any
// report into a non-zero exit. Usage: exit_while_tones_play device|silent

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/sdl_platform.h"
#include "sound/threaded_tone_starter.h"
#include "support/tone_fakes.h"

using namespace zorblet;

namespace {

std::atomic<std::int32_t> SoundOn = 1;

}  // namespace

int main(int argc, char** argv) {
    const bool wantDevice = argc > 1 && std::strcmp(argv[1], "device") == 0;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform();
    if (platform->Tones.HasDevice() != wantDevice) {
        std::fprintf(stderr, "sound device %s\n", wantDevice ? "missing" : "unexpected");
        return 2;
    }
    testing::RecordingToneGenerator played(platform->Tones);
    sound::ThreadedToneStarter starter(SoundOn, played);
    constexpr sound::ToneEffect LongEffects[] = {sound::ToneEffect::GameOverTune, sound::ToneEffect::LifeLost,
                                                 sound::ToneEffect::Crackle};
    for (int i = 0; i < 20; ++i) starter.StartTone(LongEffects[i % 3], 1);
    if (!played.WaitForCalls(20)) {
        std::fprintf(stderr, "the tone threads did not start\n");
        return 3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // deep inside their tones

    platform->ShutDown();
    // The game exits at once here. The threads go on for a while in this test, so that
    // anything they touch after the shut-down is touched, and a sanitizer has the time
    // to report it before _Exit ends the process.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fflush(nullptr);
    std::_Exit(0);
}
