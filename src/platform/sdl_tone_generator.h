#pragma once
// The tone generator on SDL's audio: one device, opened at start-up, fed by a ToneMixer.

#include <cstdint>
#include <optional>

#include "platform/tone_generator.h"
#include "platform/tone_mixer.h"

namespace zorblet::platform {

// Without a sound device the generator is silent, and the game plays the same. Play,
// Open and Close belong to the game's thread; the device's thread only mixes.
class SdlToneGenerator final : public ToneGenerator {
public:
    SdlToneGenerator() = default;
    ~SdlToneGenerator() override;
    SdlToneGenerator(const SdlToneGenerator&) = delete;
    SdlToneGenerator& operator=(const SdlToneGenerator&) = delete;

    // Starts SDL's audio layer and opens the default device (once, before any tone);
    // stays silent when that fails.
    void Open();
    // Closes the device before SDL ends; what still plays stops, later tones are silent.
    void Close();

    bool HasDevice() const { return device_ != 0; }
    // The rate the device runs at; 0 without a device.
    int SampleRate() const { return mixer_ ? mixer_->SampleRate() : 0; }
    // Effects queued and not yet played to their end.
    int PlayingTones() const { return mixer_ ? mixer_->PlayingTones() : 0; }

    void Play(std::span<const ToneStep> steps) override;

private:
    static void FillBuffer(void* generator, std::uint8_t* stream, int bytes);

    std::uint32_t device_ = 0;
    std::optional<ToneMixer> mixer_;
};

}  // namespace zorblet::platform
