#pragma once
// Stand-ins for the platform services, for tests that run without a window.

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/game_archive.h"
#include "platform/keyboard.h"
#include "platform/mouse.h"
#include "platform/random.h"
#include "platform/screen.h"
#include "platform/settings_store.h"

namespace zorblet::testing {

// A clock that only moves when read or slept on.
class FakeClock final : public platform::Clock {
public:
    std::uint64_t Now = 1'000'000'000;  // counter ticks (nanoseconds)
    std::uint64_t ReadCost = 0;         // added by every Counter() read
    std::uint64_t WakeLatency = 0;      // added after every sleep
    std::uint64_t FrequencyValue = 1'000'000'000;
    int Reads = 0;
    std::vector<std::uint64_t> SleepTargets;

    std::uint64_t Counter() override {
        ++Reads;
        Now += ReadCost;
        return Now;
    }
    std::uint64_t Frequency() override { return FrequencyValue; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(Now / 1'000'000); }
    void SleepMs(int milliseconds) override {
        Now += static_cast<std::uint64_t>(milliseconds) * 1'000'000 + WakeLatency;
    }
    void SleepUntil(std::uint64_t counter) override {
        SleepTargets.push_back(counter);
        if (counter > Now) Now = counter;
        Now += WakeLatency;
    }
    // Nobody else can move this clock: the wait lasts until the deadline, as a sleep would.
    void WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&, std::uint64_t counter) override {
        if (counter > Now) Now = counter;
    }
    void AdvanceMs(std::uint64_t milliseconds) { Now += milliseconds * 1'000'000; }
};

// A clock in nanoseconds for a test and the threads it starts: it moves only when a test
// moves it or a sleep on it ends (at once, having moved it). A move returns once every
// wait on the clock that it woke has looked at the time again, so that what a test sees
// next is what the new time brought. It is moved only while whoever waits on it lives.
class SharedFakeClock final : public platform::Clock {
public:
    std::uint64_t Counter() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    std::uint64_t Frequency() override { return 1'000'000'000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(Counter() / 1'000'000); }
    void SleepMs(int milliseconds) override { AdvanceMs(static_cast<std::uint64_t>(milliseconds)); }
    void SleepUntil(std::uint64_t counter) override {
        const std::uint64_t now = Counter();
        if (counter > now) Advance(counter - now);
    }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, std::uint64_t counter) override {
        std::uint64_t id = 0;
        {
            std::lock_guard own(mutex_);
            if (now_ >= counter) return;
            id = ++waits_;
            waiters_.push_back({id, lock.mutex(), &wake});
        }
        // A move notifies wake under the caller's mutex, which the caller holds until it
        // waits: the notice cannot fall between the look at the time and the wait.
        wake.wait(lock);
        std::lock_guard own(mutex_);
        std::erase_if(waiters_, [&](const Waiter& w) { return w.Id == id; });
        looked_.notify_all();
    }

    void AdvanceMs(std::uint64_t milliseconds) { Advance(milliseconds * 1'000'000); }
    std::uint64_t NowMs() { return Counter() / 1'000'000; }
    // How many threads wait on the clock.
    std::size_t Waiting() {
        std::lock_guard lock(mutex_);
        return waiters_.size();
    }

private:
    struct Waiter {
        std::uint64_t Id;
        std::mutex* Mutex;
        std::condition_variable* Wake;
    };

    void Advance(std::uint64_t nanoseconds) {
        std::vector<Waiter> woken;
        {
            std::lock_guard lock(mutex_);
            now_ += nanoseconds;
            woken = waiters_;
        }
        for (const Waiter& w : woken) {
            std::lock_guard lock(*w.Mutex);
            w.Wake->notify_all();
        }
        std::unique_lock lock(mutex_);
        looked_.wait(lock, [&] {
            return std::none_of(woken.begin(), woken.end(), [&](const Waiter& w) {
                return std::any_of(waiters_.begin(), waiters_.end(), [&](const Waiter& v) { return v.Id == w.Id; });
            });
        });
    }

    std::mutex mutex_;
    std::condition_variable looked_;
    std::uint64_t now_ = 1'000'000'000;
    std::uint64_t waits_ = 0;
    std::vector<Waiter> waiters_;
};

// Hands out the snapshot a test has set.
class ScriptedKeyboard final : public platform::Keyboard {
public:
    platform::KeySnapshot Keys{};
    void ReadSnapshot(platform::KeySnapshot& snapshot) override { snapshot = Keys; }
    void Press(int key) { Keys[key] = true; }
    void Lift(int key) { Keys[key] = false; }
};

class RecordingMouse final : public platform::Mouse {
public:
    platform::MouseReading Next{};
    bool Captured = false;
    int Reads = 0;
    int Releases = 0;
    platform::MouseReading Read() override {
        Captured = true;
        ++Reads;
        return Next;
    }
    void Release() override {
        Captured = false;
        ++Releases;
    }
};

class FakeScreen final : public platform::Screen {
public:
    bool Opened = false;
    int Presents = 0;
    bool CloseRequested = false;
    bool Fullscreen = false;
    void Open() override { Opened = true; }
    void Present(const std::uint32_t*) override { ++Presents; }
    bool TakeCloseRequest() override { return CloseRequested; }
    bool ToggleFullscreen() override { return Fullscreen = !Fullscreen; }
    void SetTitle(std::string_view title) override { Title = title; }
    std::string Title;
};

// Keeps the last remembered choices, as a settings file would for the next run.
class RecordingSettings final : public platform::SettingsStore {
public:
    std::string Name;  // Windows-1252
    int SoundOn = -1;  // -1: never remembered
    int Fullscreen = -1;
    int Writes = 0;
    void RememberName(std::string_view name) override {
        Name = name;
        ++Writes;
    }
    void RememberSound(bool on) override {
        SoundOn = on ? 1 : 0;
        ++Writes;
    }
    void RememberFullscreen(bool on) override {
        Fullscreen = on ? 1 : 0;
        ++Writes;
    }
};

// Keeps the records of the games handed over, in order.
class RecordingArchive final : public platform::GameArchive {
public:
    std::vector<record::GameRecord> Games;
    void KeepGame(std::shared_ptr<const record::GameRecord> game) override { Games.push_back(*game); }
};

class FixedRandom final : public platform::Random {
public:
    std::uint32_t Value = 0;
    std::uint32_t NextSeed() override { return Value; }
};

// A face of solid boxes: every character is a Width x Height block of ink,
// Advance wide; the space has no ink.
class BoxGlyphSource final : public platform::GlyphSource {
public:
    BoxGlyphSource(int width, int height, int advance) : width_(width), height_(height), advance_(advance) {}
    int CellHeight() const override { return height_; }
    platform::GlyphBitmap Render(std::uint8_t character) override {
        platform::GlyphBitmap glyph;
        glyph.Advance = advance_;
        if (character == ' ') return glyph;
        glyph.Width = width_;
        glyph.Height = height_;
        glyph.Coverage.assign(static_cast<std::size_t>(width_) * height_, 1);
        return glyph;
    }

private:
    int width_, height_, advance_;
};

class BoxFontLoader final : public platform::FontLoader {
public:
    std::unique_ptr<platform::GlyphSource> Load(const char*, platform::FontStyle, int emPixels) override {
        return std::make_unique<BoxGlyphSource>(emPixels / 2, emPixels, emPixels / 2 + 1);
    }
};

}  // namespace zorblet::testing
