// Ends the program the way the game does, its objects going in reverse order and main
// returning 0, while twenty long effects still play. Exits with 0 when that is clean;
// the sanitizer builds turn any report into a non-zero exit.
// Usage: exit_while_tones_play device|silent

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/sdl_platform.h"
#include "sound/tone_effects.h"

using namespace zorblet;

int main(int argc, char** argv) {
    const bool wantDevice = argc > 1 && std::strcmp(argv[1], "device") == 0;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::unique_ptr<platform::SdlPlatform> platform = platform::StartSdlPlatform();
    if (platform->Tones.HasDevice() != wantDevice) {
        std::fprintf(stderr, "sound device %s\n", wantDevice ? "missing" : "unexpected");
        return 2;
    }
    sound::ToneQueue queue(platform->Tones);
    constexpr sound::ToneEffect LongEffects[] = {sound::ToneEffect::GameOverTune, sound::ToneEffect::LifeLost,
                                                 sound::ToneEffect::Crackle};
    for (int i = 0; i < 20; ++i) queue.StartTone(LongEffects[i % 3], 1);
    if (platform->Tones.PlayingTones() != (wantDevice ? 20 : 0)) {
        std::fprintf(stderr, "%d effects queued\n", platform->Tones.PlayingTones());
        return 3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // deep inside their tones
    if (wantDevice && platform->Tones.PlayingTones() == 0) {
        std::fprintf(stderr, "the effects ended too soon\n");
        return 4;
    }
    const auto start = std::chrono::steady_clock::now();
    platform.reset();
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
        std::fprintf(stderr, "the shut-down waited for the tones\n");
        return 5;
    }
    return 0;
}
