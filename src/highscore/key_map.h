#pragma once
// Which key types which character in the name field: a German layout on the classic PC
// scan codes, so the player's keyboard layout setting plays no part.

#include <cstdint>
#include <string>
#include <vector>

namespace zorblet::highscore {

struct KeyMapping {
    std::int32_t Scancode = 0;
    std::string Plain;    // one Windows-1252 character, typed without Shift
    std::string Shifted;  // typed while either Shift key is held
};

// Examined in this order every frame, which is also the order of keys released together.
using KeyMap = std::vector<KeyMapping>;

void AddKey(KeyMap& keyMap, std::int32_t scancode, std::string plain, std::string shifted);

// The 56 keys of the name field: digits, keypad digits, letters (Y and Z swapped), space,
// the umlauts, sharp s and the punctuation keys.
KeyMap BuildKeyMap();

}  // namespace zorblet::highscore
