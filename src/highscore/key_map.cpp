#include "highscore/key_map.h"

#include <utility>

namespace zorblet::highscore {

void AddKey(KeyMap& keyMap, std::int32_t scancode, std::string plain, std::string shifted) {
    keyMap.push_back({scancode, std::move(plain), std::move(shifted)});
}

KeyMap BuildKeyMap() {
    KeyMap keyMap;
    keyMap.reserve(56);
    AddKey(keyMap, 2, "1", "!");
    AddKey(keyMap, 3, "2", "\"");
    AddKey(keyMap, 4, "3", "\xA7");  // section sign
    AddKey(keyMap, 5, "4", "$");
    AddKey(keyMap, 6, "5", "%");
    AddKey(keyMap, 7, "6", "&");
    AddKey(keyMap, 8, "7", "/");
    AddKey(keyMap, 9, "8", "(");
    AddKey(keyMap, 10, "9", ")");
    AddKey(keyMap, 11, "0", "=");
    // The keypad types its digits whatever Shift says.
    AddKey(keyMap, 79, "1", "1");
    AddKey(keyMap, 80, "2", "2");
    AddKey(keyMap, 81, "3", "3");
    AddKey(keyMap, 75, "4", "4");
    AddKey(keyMap, 76, "5", "5");
    AddKey(keyMap, 77, "6", "6");
    AddKey(keyMap, 71, "7", "7");
    AddKey(keyMap, 72, "8", "8");
    AddKey(keyMap, 73, "9", "9");
    AddKey(keyMap, 82, "0", "0");
    AddKey(keyMap, 30, "a", "A");
    AddKey(keyMap, 48, "b", "B");
    AddKey(keyMap, 46, "c", "C");
    AddKey(keyMap, 32, "d", "D");
    AddKey(keyMap, 18, "e", "E");
    AddKey(keyMap, 33, "f", "F");
    AddKey(keyMap, 34, "g", "G");
    AddKey(keyMap, 35, "h", "H");
    AddKey(keyMap, 23, "i", "I");
    AddKey(keyMap, 36, "j", "J");
    AddKey(keyMap, 37, "k", "K");
    AddKey(keyMap, 38, "l", "L");
    AddKey(keyMap, 50, "m", "M");
    AddKey(keyMap, 49, "n", "N");
    AddKey(keyMap, 24, "o", "O");
    AddKey(keyMap, 25, "p", "P");
    AddKey(keyMap, 16, "q", "Q");
    AddKey(keyMap, 19, "r", "R");
    AddKey(keyMap, 31, "s", "S");
    AddKey(keyMap, 20, "t", "T");
    AddKey(keyMap, 22, "u", "U");
    AddKey(keyMap, 47, "v", "V");
    AddKey(keyMap, 17, "w", "W");
    AddKey(keyMap, 45, "x", "X");
    // A German keyboard has Z and Y the other way round.
    AddKey(keyMap, 44, "y", "Y");
    AddKey(keyMap, 21, "z", "Z");
    AddKey(keyMap, 57, " ", " ");
    AddKey(keyMap, 12, "\xDF", "?");     // sharp s
    AddKey(keyMap, 26, "\xFC", "\xDC");  // u umlaut
    AddKey(keyMap, 40, "\xE4", "\xC4");  // a umlaut
    AddKey(keyMap, 39, "\xF6", "\xD6");  // o umlaut
    AddKey(keyMap, 52, ".", ":");
    AddKey(keyMap, 53, "-", "_");
    AddKey(keyMap, 27, "+", "*");
    AddKey(keyMap, 51, ",", ";");
    AddKey(keyMap, 43, "#", "'");
    return keyMap;
}

}  // namespace zorblet::highscore
