#pragma once

namespace zorblet::platform {

// The machine's tone generator: plain tones of a frequency and a length.
class ToneGenerator {
public:
    virtual ~ToneGenerator() = default;
    // Plays a tone of hz hertz for ms milliseconds and returns when it has ended.
    // Without a sound device it is silent but still takes its time.
    virtual void Beep(int hz, int ms) = 0;
    // A pause between tones.
    virtual void Sleep(int ms) = 0;
};

}  // namespace zorblet::platform
