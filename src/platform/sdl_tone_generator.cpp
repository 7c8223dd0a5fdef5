#include "platform/sdl_tone_generator.h"

#include <SDL2/SDL.h>

namespace zorblet::platform {

namespace {

constexpr int PreferredSampleRate = 48000;
// About 11 ms at 48 kHz: short enough for a prompt click. A power of two, which every
// driver takes as it is (SDL 2.26 overruns its own buffer with 480 on the dummy driver).
constexpr Uint16 BufferSamples = 512;

}  // namespace

SdlToneGenerator::~SdlToneGenerator() {
    Close();
}

void SdlToneGenerator::Open() {
    if (mixer_) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec wanted{};
    wanted.freq = PreferredSampleRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 1;
    wanted.samples = BufferSamples;
    wanted.callback = FillBuffer;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // The device's own rate and buffer size are taken as they come (no resampling);
    // SDL converts our float mono samples to whatever else the device wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                                  SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    mixer_.emplace(obtained.freq);
    SDL_PauseAudioDevice(device_, 0);
}

void SdlToneGenerator::Close() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);  // returns once the device's thread has ended
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device_ = 0;
    mixer_->Close();
}

void SdlToneGenerator::Play(std::span<const ToneStep> steps) {
    if (device_ != 0) mixer_->Queue(steps);
}

void SdlToneGenerator::FillBuffer(void* generator, std::uint8_t* stream, int bytes) {
    auto* samples = reinterpret_cast<float*>(stream);
    static_cast<SdlToneGenerator*>(generator)->mixer_->Mix(samples, bytes / static_cast<int>(sizeof(float)));
}

}  // namespace zorblet::platform
