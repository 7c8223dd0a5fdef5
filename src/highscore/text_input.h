#pragma once
// The one-line name field, run on raw scan codes: insertion at a cursor, Backspace,
// Delete, cursor keys and Enter, with auto-repeat through KeyHit.

#include <cstdint>
#include <string>
#include <string_view>

#include "highscore/key_map.h"
#include "platform/keyboard.h"

namespace zorblet::highscore {

inline constexpr std::int32_t NameMaxLength = 24;

struct TextInput {
    std::string EditText;         // Windows-1252, one byte per character
    std::int32_t EditCursor = 0;  // 0 (before the first character) to the length of EditText
    std::int32_t EditMaxLength = NameMaxLength;
    // Auto-repeat: one counter for all keys, and the key that started it.
    std::int32_t RepeatCount = 0;
    std::int32_t RepeatKey = 0;
};

// True when the key was let go, and, while it is held alone, on every frame from its
// 32nd on. Every call for a held key counts on the shared counter, so of two keys held
// together neither repeats: each in turn finds the other owning a full counter and
// starts it again.
bool KeyHit(TextInput& input, platform::KeyTester& keys, std::int32_t key);

// Opens the field with `text` and the cursor after it.
void StartTextInput(TextInput& input, std::string_view text, bool& nameEntryActive);

// One frame of editing on this frame's snapshot; Enter or keypad Enter, on release,
// clears nameEntryActive.
void UpdateTextInput(TextInput& input, const KeyMap& keyMap, platform::KeyTester& keys, bool& nameEntryActive);

}  // namespace zorblet::highscore
