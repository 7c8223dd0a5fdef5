#pragma once
// Mixes the tone effects that play at the moment into one stream of float samples.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "platform/tone_generator.h"

namespace zorblet::platform {

// The game's thread queues effects (Queue, which never waits for the sound); the sound
// device's thread pulls the samples (Mix). An effect is a voice: its steps follow each
// other without a gap, from the first sample mixed after it was queued. Tones are sines
// with a short raised-cosine fade at both ends, so none starts or stops with a click,
// and the sum is scaled down smoothly whenever the tones together would pass OutputLimit.
class ToneMixer {
public:
    static constexpr float ToneAmplitude = 0.4f;   // the peak of one tone on its own
    static constexpr float OutputLimit = 0.8f;     // no sample ever goes beyond this
    static constexpr int FadeMicroseconds = 500;   // each end of a tone
    static constexpr std::size_t MaxVoices = 256;  // more at once are not heard
    static constexpr std::size_t MaxSteps = 64;    // the longest effect has 50

    explicit ToneMixer(int sampleRate);
    ToneMixer(const ToneMixer&) = delete;
    ToneMixer& operator=(const ToneMixer&) = delete;

    // Starts a voice with the steps (the first MaxSteps of them); returns at once.
    void Queue(std::span<const ToneStep> steps);
    // Fills samples with the sum of the voices playing; zeros when none plays.
    void Mix(float* samples, int count);
    // Drops what plays and what waits; later voices are not heard. Called once the
    // device's thread has stopped mixing.
    void Close();

    int SampleRate() const { return sampleRate_; }
    // Voices queued and not yet mixed to their end.
    int PlayingTones() const { return playing_.load(); }

private:
    struct Segment {
        int Length = 0;     // samples
        double Step = 0.0;  // phase advance per sample; 0 for a pause
    };
    struct Voice {
        std::array<Segment, MaxSteps> Segments{};
        std::size_t Count = 0;
        std::size_t Index = 0;          // the segment playing
        std::int64_t SegmentStart = 0;  // its first sample, on the mixer's clock
        double Phase = 0.0;
    };

    void TakeQueuedVoices();
    // Moves the voice on to the segment that plays at time; false once it has ended.
    static bool AdvanceTo(Voice& voice, std::int64_t time);
    float MixSample(std::int64_t time);
    float Envelope(int position, int length) const;

    const int sampleRate_;
    const int fadeSamples_;
    std::mutex mutex_;           // guards queued_ and closed_, held only to hand voices over
    std::vector<Voice> queued_;  // handed in, not yet taken by the device's thread
    bool closed_ = false;
    std::vector<Voice> voices_;  // the device's thread's alone
    std::int64_t clock_ = 0;     // samples mixed so far (device's thread)
    std::atomic<int> playing_{0};
};

}  // namespace zorblet::platform
