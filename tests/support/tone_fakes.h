#pragma once
// Stand-ins for the tone generator and the tone starter.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/tone_generator.h"
#include "sound/tone_effect.h"

namespace zorblet::testing {

struct ToneCall {
    enum class Kind { Beep, Sleep };
    Kind What;
    int Hz;  // 0 for a pause
    int Ms;
    bool operator==(const ToneCall&) const = default;
};

inline ToneCall BeepCall(int hz, int ms) {
    return {ToneCall::Kind::Beep, hz, ms};
}
inline ToneCall SleepCall(int ms) {
    return {ToneCall::Kind::Sleep, 0, ms};
}

// Records every Beep and Sleep in the order they begin, from any thread, and passes
// them on to another generator when given one (else returns at once). Beeps can be
// held: while held, each Beep waits after it has been recorded (30 s at most).
class RecordingToneGenerator final : public platform::ToneGenerator {
public:
    RecordingToneGenerator() = default;
    explicit RecordingToneGenerator(platform::ToneGenerator& passOn) : passOn_(&passOn) {}

    void Beep(int hz, int ms) override {
        {
            std::unique_lock lock(mutex_);
            calls_.push_back(BeepCall(hz, ms));
            ++waitingBeeps_;
            changed_.notify_all();
            // Bounded, so that a starter that waits for its effects fails instead of hanging.
            changed_.wait_for(lock, std::chrono::seconds(30), [this] { return !held_; });
            --waitingBeeps_;
        }
        if (passOn_ != nullptr) passOn_->Beep(hz, ms);
    }
    void Sleep(int ms) override {
        {
            const std::lock_guard lock(mutex_);
            calls_.push_back(SleepCall(ms));
            changed_.notify_all();
        }
        if (passOn_ != nullptr) passOn_->Sleep(ms);
    }

    std::vector<ToneCall> Calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    // Waits until count calls have begun; false when that takes longer than timeout.
    bool WaitForCalls(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return calls_.size() >= count; });
    }

    void HoldBeeps() {
        const std::lock_guard lock(mutex_);
        held_ = true;
    }
    void ReleaseBeeps() {
        const std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits until count Beeps are held at the same time; false after timeout.
    bool WaitForHeldBeeps(int count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return held_ && waitingBeeps_ >= count; });
    }

private:
    platform::ToneGenerator* passOn_ = nullptr;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<ToneCall> calls_;
    bool held_ = false;
    int waitingBeeps_ = 0;
};

// One tone effect as the game starts it.
struct EffectStart {
    sound::ToneEffect Effect;
    std::int32_t Argument;
    bool operator==(const EffectStart&) const = default;
};

// Records the effects the game starts, in order, without starting threads.
class RecordingToneStarter final : public sound::ToneStarter {
public:
    std::vector<EffectStart> Starts;

    void StartTone(sound::ToneEffect effect, std::int32_t argument) override { Starts.push_back({effect, argument}); }
};

}  // namespace zorblet::testing
