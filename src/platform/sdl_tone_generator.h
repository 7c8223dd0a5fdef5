#pragma once
// The tone generator on SDL's audio: one device, opened at start-up, fed by a ToneMixer.

#include <cstdint>
#include <optional>

#include "platform/tone_generator.h"
#include "platform/tone_mixer.h"

namespace zorblet::platform {

// Without a sound device the generator is silent and every tone still takes its time,
// so the game plays the same with or without sound. Tone threads may call Beep and
// Sleep at any time; Open and Close belong to the main thread. The object must outlive
// every tone thread: the program keeps it until the process ends.
class SdlToneGenerator final : public ToneGenerator {
public:
    SdlToneGenerator() = default;
    ~SdlToneGenerator() override;
    SdlToneGenerator(const SdlToneGenerator&) = delete;
    SdlToneGenerator& operator=(const SdlToneGenerator&) = delete;

    // Starts SDL's audio layer and opens the default device (once, before any tone);
    // stays silent when that fails.
    void Open();
    // Closes the device before SDL ends; tones still playing return at once, later
    // ones are silent.
    void Close();

    bool HasDevice() const { return device_ != 0; }
    // The rate the device runs at; 0 without a device.
    int SampleRate() const { return mixer_ ? mixer_->SampleRate() : 0; }

    void Beep(int hz, int ms) override;
    void Sleep(int ms) override;

private:
    static void FillBuffer(void* generator, std::uint8_t* stream, int bytes);

    std::uint32_t device_ = 0;
    std::optional<ToneMixer> mixer_;
};

}  // namespace zorblet::platform
