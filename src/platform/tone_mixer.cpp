#include "platform/tone_mixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorblet::platform {

ToneMixer::ToneMixer(int sampleRate)
    : sampleRate_(sampleRate), fadeSamples_(std::max(1, sampleRate * FadeMicroseconds / 1'000'000)) {
    // The device's thread must never wait for an allocation.
    queued_.reserve(MaxVoices);
    voices_.reserve(MaxVoices);
}

void ToneMixer::Queue(std::span<const ToneStep> steps) {
    Voice voice;
    for (const ToneStep& step : steps.first(std::min(steps.size(), MaxSteps))) {
        if (step.Ms <= 0) continue;
        const int length = static_cast<int>(static_cast<std::int64_t>(step.Ms) * sampleRate_ / 1000);
        const double phaseStep = step.Hz > 0 ? 2.0 * std::numbers::pi * step.Hz / sampleRate_ : 0.0;
        if (length > 0) voice.Segments[voice.Count++] = {length, phaseStep};
    }
    if (voice.Count == 0) return;
    const std::lock_guard lock(mutex_);
    if (closed_ || static_cast<std::size_t>(playing_.load()) >= MaxVoices) return;
    queued_.push_back(voice);
    ++playing_;
}

void ToneMixer::TakeQueuedVoices() {
    const std::lock_guard lock(mutex_);
    for (Voice& voice : queued_) {
        voice.SegmentStart = clock_;  // it begins with the first sample mixed after it came
        if (voices_.size() < MaxVoices) voices_.push_back(voice);
    }
    queued_.clear();
    if (closed_) voices_.clear();
}

void ToneMixer::Mix(float* samples, int count) {
    TakeQueuedVoices();
    if (voices_.empty()) {
        std::fill(samples, samples + count, 0.0f);
    } else {
        for (int i = 0; i < count; ++i) samples[i] = MixSample(clock_ + i);
    }
    clock_ += count;
    const auto ended = std::erase_if(voices_, [this](Voice& voice) { return !AdvanceTo(voice, clock_); });
    playing_ -= static_cast<int>(ended);
}

bool ToneMixer::AdvanceTo(Voice& voice, std::int64_t time) {
    while (voice.Index < voice.Count && time - voice.SegmentStart >= voice.Segments[voice.Index].Length) {
        voice.SegmentStart += voice.Segments[voice.Index].Length;
        ++voice.Index;
        voice.Phase = 0.0;  // every tone starts on its zero crossing
    }
    return voice.Index < voice.Count;
}

// The tones' sum, scaled by a gain that follows the sum of their envelopes: it
// changes as smoothly as the envelopes do and keeps the peak within OutputLimit.
float ToneMixer::MixSample(std::int64_t time) {
    double signal = 0.0;
    double level = 0.0;
    for (Voice& voice : voices_) {
        if (!AdvanceTo(voice, time) || time < voice.SegmentStart) continue;
        const Segment& segment = voice.Segments[voice.Index];
        if (segment.Step == 0.0) continue;  // a pause
        const auto position = static_cast<int>(time - voice.SegmentStart);
        const double amplitude = ToneAmplitude * Envelope(position, segment.Length);
        signal += amplitude * std::sin(voice.Phase);
        level += amplitude;
        voice.Phase += segment.Step;
        if (voice.Phase >= 2.0 * std::numbers::pi) voice.Phase -= 2.0 * std::numbers::pi;
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

void ToneMixer::Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    queued_.clear();
    voices_.clear();
    playing_ = 0;
}

}  // namespace zorblet::platform
