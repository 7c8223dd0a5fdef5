#include "platform/tone_mixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

namespace zorblet::platform {

namespace {

// Where the latest tone of this thread ends on the clock of the mixer that played it.
thread_local std::int64_t EndOfThreadsTone = -1;

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

ToneMixer::ToneMixer(int sampleRate)
    : sampleRate_(sampleRate), fadeSamples_(std::max(1, sampleRate * FadeMicroseconds / 1'000'000)) {
    tones_.reserve(MaxTones);  // the device's thread must never wait for an allocation
}

void ToneMixer::PlayTone(int hz, int ms) {
    if (ms <= 0) return;
    const int length = static_cast<int>(static_cast<std::int64_t>(ms) * sampleRate_ / 1000);
    std::unique_lock lock(mutex_);
    if (closed_ || hz <= 0 || length <= 0 || tones_.size() >= MaxTones) {
        lock.unlock();
        SleepMs(ms);
        return;
    }
    const std::int64_t id = nextId_++;
    const std::int64_t start = StartOfNextTone();
    const std::int64_t end = start + length;
    tones_.push_back(Tone{id, start, length, 0.0, 2.0 * std::numbers::pi * hz / sampleRate_});
    EndOfThreadsTone = end;
    const auto limit = std::chrono::milliseconds(ms) + std::chrono::milliseconds(WaitMarginMs);
    if (!toneHandedOut_.wait_for(lock, limit, [&] { return IsHandedOut(end); })) {
        std::erase_if(tones_, [id](const Tone& tone) { return tone.Id == id; });
    }
}

// A tone follows the thread's previous one when that still ends ahead of the clock
// (tones are handed out one buffer early for that). An end further ahead than one
// buffer cannot be this mixer's and is ignored.
std::int64_t ToneMixer::StartOfNextTone() const {
    const bool follows = EndOfThreadsTone >= clock_ && EndOfThreadsTone <= clock_ + lookahead_;
    return follows ? EndOfThreadsTone : clock_;
}

void ToneMixer::Mix(float* samples, int count) {
    {
        const std::lock_guard lock(mutex_);
        if (tones_.empty()) {
            std::fill(samples, samples + count, 0.0f);
        } else {
            for (int i = 0; i < count; ++i) samples[i] = MixSample(clock_ + i);
        }
        clock_ += count;
        lookahead_ = count;
        DropMixedTones();
    }
    toneHandedOut_.notify_all();
}

// The tones' sum, scaled by a gain that follows the sum of their envelopes: it
// changes as smoothly as the envelopes do and keeps the peak within OutputLimit.
float ToneMixer::MixSample(std::int64_t time) {
    double signal = 0.0;
    double level = 0.0;
    for (Tone& tone : tones_) {
        const std::int64_t position = time - tone.Start;
        if (position < 0 || position >= tone.Length) continue;
        const double amplitude = ToneAmplitude * Envelope(static_cast<int>(position), tone.Length);
        signal += amplitude * std::sin(tone.Phase);
        level += amplitude;
        tone.Phase += tone.Step;
        if (tone.Phase >= 2.0 * std::numbers::pi) tone.Phase -= 2.0 * std::numbers::pi;
    }
    const double gain = level > OutputLimit ? OutputLimit / level : 1.0;
    return static_cast<float>(signal * gain);
}

// 1 in the middle of a tone, a raised-cosine ramp from 0 over fadeSamples_ at each end.
float ToneMixer::Envelope(int position, int length) const {
    const int fromEdge = std::min(position, length - 1 - position);
    if (fromEdge >= fadeSamples_) return 1.0f;
    return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * fromEdge / fadeSamples_));
}

void ToneMixer::DropMixedTones() {
    std::erase_if(tones_, [this](const Tone& tone) { return tone.Start + tone.Length <= clock_; });
}

void ToneMixer::Close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        tones_.clear();
    }
    toneHandedOut_.notify_all();
}

int ToneMixer::PlayingTones() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(tones_.size());
}

}  // namespace zorblet::platform
