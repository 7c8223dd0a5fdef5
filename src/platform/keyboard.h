#pragma once
// Keyboard: one snapshot per frame of all 256 keys, numbered by the classic
// PC scan codes (the numbering the whole game uses for its keys).

#include <array>
#include <cstdint>

namespace zorblet::platform {

// Scan codes of the keys the game tests by name.
namespace Key {
inline constexpr int Escape = 1;
inline constexpr int Backspace = 14;
inline constexpr int Enter = 28;
inline constexpr int LeftShift = 42;
inline constexpr int RightShift = 54;
inline constexpr int F1 = 59;
inline constexpr int F2 = 60;
inline constexpr int F3 = 61;
inline constexpr int F4 = 62;
inline constexpr int F11 = 87;
inline constexpr int KeypadEnter = 156;
inline constexpr int Home = 199;
inline constexpr int Up = 200;
inline constexpr int Left = 203;
inline constexpr int Right = 205;
inline constexpr int End = 207;
inline constexpr int Down = 208;
inline constexpr int Delete = 211;
}  // namespace Key

inline constexpr int KeyCount = 256;

// Which keys are held, indexed by scan code.
using KeySnapshot = std::array<bool, KeyCount>;

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // Renews the snapshot; while the window lacks input focus it is left as it was.
    virtual void ReadSnapshot(KeySnapshot& snapshot) = 0;
};

// The two key tests on the current snapshot. Each key keeps one seen-down flag,
// so a key fires once, in the first test that finds it up after one found it down.
class KeyTester {
public:
    void Renew(Keyboard& keyboard) { keyboard.ReadSnapshot(snapshot_); }
    void Renew(const KeySnapshot& snapshot) { snapshot_ = snapshot; }

    bool Down(int key) const { return InRange(key) && snapshot_[key]; }

    bool Released(int key) {
        if (!InRange(key)) return false;
        if (snapshot_[key]) {
            seenDown_[key] = true;
            return false;
        }
        const bool fired = seenDown_[key];
        seenDown_[key] = false;
        return fired;
    }

    const KeySnapshot& Snapshot() const { return snapshot_; }

private:
    static bool InRange(int key) { return key >= 0 && key < KeyCount; }

    KeySnapshot snapshot_{};
    std::array<bool, KeyCount> seenDown_{};
};

}  // namespace zorblet::platform
