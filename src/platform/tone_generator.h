#pragma once

#include <span>

namespace zorblet::platform {

// One step of a tone effect: a tone of Hz hertz for Ms milliseconds; Hz 0 is a pause.
struct ToneStep {
    int Hz = 0;
    int Ms = 0;
    bool operator==(const ToneStep&) const = default;
};

// The machine's tone generator: plain tones of a frequency and a length.
class ToneGenerator {
public:
    virtual ~ToneGenerator() = default;
    // Plays the steps one after the other from now on, beside whatever plays already,
    // and returns at once. Without a sound device nothing is heard.
    virtual void Play(std::span<const ToneStep> steps) = 0;
};

}  // namespace zorblet::platform
