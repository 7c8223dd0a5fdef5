#include "highscore/text_input.h"

#include <algorithm>
#include <limits>

namespace zorblet::highscore {

namespace {

namespace Key = platform::Key;

// A held key repeats once the shared counter has passed this: from its 32nd frame on.
constexpr std::int32_t RepeatDelay = 30;

bool AnyKeyDown(const platform::KeyTester& keys) {
    // Scan codes 0 to 254: the last one has never counted here.
    for (int key = 0; key < platform::KeyCount - 1; ++key) {
        if (keys.Down(key)) return true;
    }
    return false;
}

std::size_t CursorOffset(const TextInput& input) {
    return static_cast<std::size_t>(std::clamp<std::int32_t>(input.EditCursor, 0, std::ssize(input.EditText)));
}

void TypeMappedKeys(TextInput& input, const KeyMap& keyMap, platform::KeyTester& keys) {
    const bool shift = keys.Down(Key::LeftShift) || keys.Down(Key::RightShift);
    for (const KeyMapping& mapping : keyMap) {
        // KeyHit runs for every key even when the field is full, so that its release
        // flag and the repeat counter stay current.
        const bool hit = KeyHit(input, keys, mapping.Scancode);
        if (!hit || std::ssize(input.EditText) >= input.EditMaxLength) continue;
        const std::string& character = shift ? mapping.Shifted : mapping.Plain;
        const std::size_t cursor = CursorOffset(input);
        input.EditText.insert(cursor, character);
        input.EditCursor = static_cast<std::int32_t>(cursor + character.size());
    }
}

void DeleteBeforeCursor(TextInput& input) {
    const std::size_t cursor = CursorOffset(input);
    if (cursor > 0) input.EditText.erase(cursor - 1, 1);
    input.EditCursor = std::max<std::int32_t>(static_cast<std::int32_t>(cursor) - 1, 0);
}

void DeleteAfterCursor(TextInput& input) {
    const std::size_t cursor = CursorOffset(input);
    if (cursor < input.EditText.size()) input.EditText.erase(cursor, 1);
}

void MoveCursor(TextInput& input, platform::KeyTester& keys) {
    const auto length = static_cast<std::int32_t>(input.EditText.size());
    if (KeyHit(input, keys, Key::Left)) input.EditCursor = std::max(input.EditCursor - 1, 0);
    if (KeyHit(input, keys, Key::Right)) input.EditCursor = std::min(input.EditCursor + 1, length);
    if (KeyHit(input, keys, Key::End)) input.EditCursor = length;
    if (KeyHit(input, keys, Key::Home)) input.EditCursor = 0;
}

}  // namespace

bool KeyHit(TextInput& input, platform::KeyTester& keys, std::int32_t key) {
    bool hit = keys.Released(key);
    if (keys.Down(key)) {
        if (input.RepeatCount > RepeatDelay) {
            if (input.RepeatKey == key) {
                hit = true;
            } else {
                input.RepeatCount = 0;
            }
        }
        // A key held for months would otherwise overflow the count; past 30 its size no longer matters.
        if (input.RepeatCount < std::numeric_limits<std::int32_t>::max()) ++input.RepeatCount;
        if (input.RepeatCount == 1) input.RepeatKey = key;
    }
    return hit;
}

void StartTextInput(TextInput& input, std::string_view text, bool& nameEntryActive) {
    input.EditText = text;
    input.EditCursor = static_cast<std::int32_t>(input.EditText.size());
    input.EditMaxLength = NameMaxLength;
    nameEntryActive = true;
}

void UpdateTextInput(TextInput& input, const KeyMap& keyMap, platform::KeyTester& keys, bool& nameEntryActive) {
    if (!AnyKeyDown(keys)) input.RepeatCount = 0;
    TypeMappedKeys(input, keyMap, keys);
    if (KeyHit(input, keys, Key::Backspace)) DeleteBeforeCursor(input);
    if (KeyHit(input, keys, Key::Delete)) DeleteAfterCursor(input);
    MoveCursor(input, keys);
    // Both Enter keys are tested every frame, so neither keeps a stale release flag
    // that would close the next name entry at once.
    const bool enter = keys.Released(Key::Enter);
    const bool keypadEnter = keys.Released(Key::KeypadEnter);
    if (enter || keypadEnter) nameEntryActive = false;
}

}  // namespace zorblet::highscore
