#pragma once
// Mixes the tones that play at the moment into one stream of float samples.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace zorblet::platform {

// Tone threads hand in tones (PlayTone, which blocks them while their tone plays);
// the sound device's thread pulls the samples (Mix). Tones are sines with a short
// raised-cosine fade at both ends, so none starts or stops with a click, and the sum
// is scaled down smoothly whenever the tones together would pass OutputLimit.
class ToneMixer {
public:
    static constexpr float ToneAmplitude = 0.4f;  // the peak of one tone on its own
    static constexpr float OutputLimit = 0.8f;    // no sample ever goes beyond this
    static constexpr int FadeMicroseconds = 500;  // each end of a tone
    static constexpr int WaitMarginMs = 1000;     // a stalled device frees a tone after its time and this
    static constexpr std::size_t MaxTones = 256;  // more at once are silent but still take their time

    explicit ToneMixer(int sampleRate);
    ToneMixer(const ToneMixer&) = delete;
    ToneMixer& operator=(const ToneMixer&) = delete;

    // Plays a tone of hz for ms and returns when the mixer has reached the last buffer
    // the tone plays in, when the mixer closes, or ms + WaitMarginMs after the call
    // (a tone given up that way is dropped, not played late).
    // A tone from the thread whose previous tone is still being mixed starts right
    // where that one ends, so tones played back to back follow without a gap.
    void PlayTone(int hz, int ms);
    // Fills samples with the sum of the tones playing; zeros when none plays.
    void Mix(float* samples, int count);
    // Drops the tones that play and frees their threads; later tones are silent and
    // only take their time.
    void Close();

    int SampleRate() const { return sampleRate_; }
    // Tones handed in and not yet mixed to their end.
    int PlayingTones() const;

private:
    struct Tone {
        std::int64_t Id;
        std::int64_t Start;  // first sample, counted on the mixer's clock
        int Length;          // samples
        double Phase;
        double Step;  // phase advance per sample
    };

    std::int64_t StartOfNextTone() const;
    bool IsHandedOut(std::int64_t end) const { return closed_ || end <= clock_ + lookahead_; }
    float MixSample(std::int64_t time);
    float Envelope(int position, int length) const;
    void DropMixedTones();

    const int sampleRate_;
    const int fadeSamples_;
    mutable std::mutex mutex_;
    std::condition_variable toneHandedOut_;
    std::vector<Tone> tones_;
    std::int64_t clock_ = 0;      // samples mixed so far
    std::int64_t lookahead_ = 0;  // samples in the latest buffer: how far ahead tones are handed out
    std::int64_t nextId_ = 0;
    bool closed_ = false;
};

}  // namespace zorblet::platform
