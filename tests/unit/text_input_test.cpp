// The name field on raw scan codes: the German key map, the editing keys, Enter and the
// shared auto-repeat counter, frame by frame as the game runs them.

#include "highscore/text_input.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

namespace zorblet::highscore {
namespace {

namespace Key = platform::Key;

// Scan codes by their key position on a US keyboard.
constexpr int KeyA = 30, KeyB = 48, KeyH = 35, KeyL = 38, KeyX = 45, KeyY = 21, KeyZ = 44;
constexpr int Key1 = 2, Key2 = 3, Key3 = 4, KeyMinus = 12, KeyLeftBracket = 26, KeyApostrophe = 40, KeySemicolon = 39,
              KeyBackslash = 43, KeyPad7 = 71;
constexpr int KeyF5 = 0x3F;

class TextInputTest : public ::testing::Test {
protected:
    void Open(const std::string& text, int cursor = -1) {
        StartTextInput(input, text, nameEntryActive);
        if (cursor >= 0) input.EditCursor = cursor;
    }
    // One frame with exactly these keys held.
    void Frame(std::initializer_list<int> held) {
        platform::KeySnapshot snapshot{};
        for (int key : held) snapshot[key] = true;
        keys.Renew(snapshot);
        UpdateTextInput(input, keyMap, keys, nameEntryActive);
    }
    // Held for one frame, let go in the next, with the modifiers held throughout.
    void Tap(int key, const std::vector<int>& modifiers = {}) {
        std::vector<int> held(modifiers);
        held.push_back(key);
        platform::KeySnapshot snapshot{};
        for (int k : held) snapshot[k] = true;
        keys.Renew(snapshot);
        UpdateTextInput(input, keyMap, keys, nameEntryActive);
        snapshot[key] = false;
        keys.Renew(snapshot);
        UpdateTextInput(input, keyMap, keys, nameEntryActive);
    }
    void Hold(std::initializer_list<int> held, int frames) {
        for (int i = 0; i < frames; ++i) Frame(held);
    }

    const KeyMap keyMap = BuildKeyMap();
    platform::KeyTester keys;
    TextInput input;
    bool nameEntryActive = false;
};

TEST_F(TextInputTest, StartOpensTheFieldWithTheCursorAfterTheText) {
    input.EditMaxLength = 3;
    Open("Ann");
    EXPECT_TRUE(nameEntryActive);
    EXPECT_EQ(input.EditText, "Ann");
    EXPECT_EQ(input.EditCursor, 3);
    EXPECT_EQ(input.EditMaxLength, 24);
}

TEST(KeyMap, HoldsFiftySixKeysOfOneByteCharactersEach) {
    const KeyMap keyMap = BuildKeyMap();
    ASSERT_EQ(keyMap.size(), 56u);
    std::set<int> scancodes;
    for (const KeyMapping& mapping : keyMap) {
        scancodes.insert(mapping.Scancode);
        EXPECT_EQ(mapping.Plain.size(), 1u) << mapping.Scancode;
        EXPECT_EQ(mapping.Shifted.size(), 1u) << mapping.Scancode;
    }
    EXPECT_EQ(scancodes.size(), 56u) << "no key twice";
    EXPECT_EQ(keyMap.front().Scancode, Key1);
    EXPECT_EQ(keyMap.back().Scancode, KeyBackslash);
}

TEST_F(TextInputTest, TapsTypeTheGermanLayout) {
    const struct {
        int Key;
        std::vector<int> Modifiers;
        std::string Typed;
    } cases[] = {
        {KeyZ, {}, "y"},
        {KeyY, {}, "z"},
        {KeyZ, {Key::LeftShift}, "Y"},
        {KeyA, {Key::RightShift}, "A"},
        {Key2, {Key::LeftShift}, "\""},
        {Key3, {Key::RightShift}, "\xA7"},
        {Key1, {}, "1"},
        {KeyMinus, {}, "\xDF"},
        {KeyMinus, {Key::LeftShift}, "?"},
        {KeyLeftBracket, {}, "\xFC"},
        {KeyLeftBracket, {Key::LeftShift}, "\xDC"},
        {KeyApostrophe, {}, "\xE4"},
        {KeyApostrophe, {Key::LeftShift}, "\xC4"},
        {KeySemicolon, {}, "\xF6"},
        {KeySemicolon, {Key::LeftShift}, "\xD6"},
        {KeyBackslash, {Key::LeftShift}, "'"},
        {KeyPad7, {Key::LeftShift}, "7"},
        // Keys outside the map type nothing, with or without Shift.
        {KeyF5, {}, ""},
        {0x4A, {}, ""},                // keypad minus
        {0x37, {}, ""},                // keypad multiply
        {0x3A, {}, ""},                // Caps Lock
        {0x1D, {}, ""},                // Ctrl
        {0x38, {Key::LeftShift}, ""},  // Alt
        {0x56, {}, ""},                // the extra key left of Z on ISO keyboards
    };
    for (const auto& c : cases) {
        Open("");
        Tap(c.Key, c.Modifiers);
        EXPECT_EQ(input.EditText, c.Typed) << "scan code " << c.Key;
        EXPECT_EQ(input.EditCursor, std::ssize(c.Typed)) << "scan code " << c.Key;
    }
}

TEST_F(TextInputTest, ACharacterTypesOnReleaseAtTheCursor) {
    Open("");
    Tap(KeyH);
    Frame({KeyA});
    EXPECT_EQ(input.EditText, "h") << "held, not yet typed";
    Frame({});
    Tap(KeyL);
    EXPECT_EQ(input.EditText, "hal");
    EXPECT_EQ(input.EditCursor, 3);

    Open("ac", 1);
    Tap(KeyB);
    EXPECT_EQ(input.EditText, "abc");
    EXPECT_EQ(input.EditCursor, 2);
}

TEST_F(TextInputTest, EditingKeysClampAtTheEnds) {
    const struct {
        const char* Text;
        int Cursor;
        int Key;
        const char* After;
        int CursorAfter;
    } cases[] = {
        {"abc", 1, Key::Backspace, "bc", 0}, {"abc", 3, Key::Backspace, "ab", 2}, {"abc", 0, Key::Backspace, "abc", 0},
        {"abc", 1, Key::Delete, "ac", 1},    {"abc", 0, Key::Delete, "bc", 0},    {"abc", 3, Key::Delete, "abc", 3},
        {"abc", 2, Key::Left, "abc", 1},     {"abc", 0, Key::Left, "abc", 0},     {"abc", 1, Key::Right, "abc", 2},
        {"abc", 3, Key::Right, "abc", 3},    {"abc", 1, Key::End, "abc", 3},      {"abc", 2, Key::Home, "abc", 0},
        {"", 0, Key::Backspace, "", 0},      {"", 0, Key::Delete, "", 0},
    };
    for (const auto& c : cases) {
        Open(c.Text, c.Cursor);
        Tap(c.Key);
        EXPECT_EQ(input.EditText, c.After) << c.Text << " cursor " << c.Cursor << " key " << c.Key;
        EXPECT_EQ(input.EditCursor, c.CursorAfter) << c.Text << " cursor " << c.Cursor << " key " << c.Key;
    }
}

TEST_F(TextInputTest, AFullFieldTakesNoCharacterButBackspaceWorks) {
    const std::string full(24, 'x');
    Open(full);
    Tap(KeyA);
    Tap(KeyApostrophe);
    EXPECT_EQ(input.EditText, full);
    EXPECT_EQ(input.EditCursor, 24);
    Tap(Key::Backspace);
    EXPECT_EQ(input.EditText, std::string(23, 'x'));
    EXPECT_EQ(input.EditCursor, 23);
}

TEST_F(TextInputTest, AKeyPressedWhileTheFieldIsFullTypesWhenReleasedAfterABackspace) {
    // The key's press is seen although nothing could be typed then.
    Open(std::string(24, 'x'));
    Frame({KeyA});
    Frame({KeyA, Key::Backspace});
    Frame({KeyA});
    EXPECT_EQ(input.EditText, std::string(23, 'x'));
    Frame({});
    EXPECT_EQ(input.EditText, std::string(23, 'x') + "a");
}

TEST_F(TextInputTest, KeysReleasedInOneFrameGoInTableOrder) {
    const struct {
        int First, Second;
        const char* Typed;
    } cases[] = {
        {KeyL, KeyA, "al"},
        {KeyA, KeyL, "al"},
        {KeyA, Key1, "1a"},
        {KeyApostrophe, KeyX, "x\xE4"},
    };
    for (const auto& c : cases) {
        Open("");
        Frame({c.First});
        Frame({c.First, c.Second});
        Frame({});
        EXPECT_EQ(input.EditText, c.Typed);
    }
}

TEST_F(TextInputTest, EnterAndKeypadEnterCloseTheFieldOnRelease) {
    for (int enter : {Key::Enter, Key::KeypadEnter}) {
        Open("Ann");
        Frame({enter});
        EXPECT_TRUE(nameEntryActive) << "held: still open";
        Frame({});
        EXPECT_FALSE(nameEntryActive) << enter;
        EXPECT_EQ(input.EditText, "Ann");
    }
    Open("");
    Tap(Key::Enter);
    EXPECT_FALSE(nameEntryActive) << "an empty field closes too; the name entry opens it again";
}

TEST_F(TextInputTest, BothEnterKeysReleasedTogetherLeaveNoFlagForTheNextEntry) {
    Open("Ann");
    Frame({Key::Enter, Key::KeypadEnter});
    Frame({});
    EXPECT_FALSE(nameEntryActive);
    Open("Ann");
    Frame({});
    EXPECT_TRUE(nameEntryActive);
}

TEST_F(TextInputTest, AHeldKeyRepeatsFromItsThirtySecondFrameAndOnRelease) {
    const struct {
        int Key;
        int Frames;
        std::string Before;
        std::string After;
    } cases[] = {
        {KeyA, 1, "", "a"},
        {KeyA, 31, "", "a"},
        {KeyA, 32, "", "aa"},
        {KeyA, 40, "", std::string(10, 'a')},
        {Key::Backspace, 40, std::string(12, 'x'), "xx"},
        {Key::Left, 35, "abcdefgh", "abcdefgh"},
    };
    for (const auto& c : cases) {
        input = TextInput{};
        Open(c.Before);
        Hold({c.Key}, c.Frames);
        Frame({});
        EXPECT_EQ(input.EditText, c.After) << c.Key << " held " << c.Frames;
    }
    EXPECT_EQ(input.EditCursor, 8 - 5) << "Left: four repeats and the release";
}

TEST_F(TextInputTest, AKeyHeldForeverKeepsRepeatingWithoutOverflow) {
    Open("");
    input.RepeatCount = INT_MAX - 1;
    input.RepeatKey = KeyA;
    Hold({KeyA}, 3);
    EXPECT_EQ(input.EditText, "aaa");
    EXPECT_EQ(input.RepeatCount, INT_MAX);
}

TEST_F(TextInputTest, OfTwoKeysHeldTogetherNeitherRepeats) {
    Open("");
    Hold({KeyA, KeyB}, 100);
    EXPECT_EQ(input.EditText, "");
    Frame({});
    EXPECT_EQ(input.EditText, "ab");
}

TEST_F(TextInputTest, TheRepeatCounterRestartsOnlyWhenNoKeyAtAllIsDown) {
    Open("");
    Hold({KeyA}, 20);
    Frame({});
    EXPECT_EQ(input.RepeatCount, 0);

    Hold({KeyA}, 20);
    Frame({KeyF5});  // A let go, but a key outside the map is still down
    EXPECT_EQ(input.RepeatCount, 20);
    // So B, pressed next, first finds the counter full and owned by A, and starts it anew:
    // its first repeat comes 11 frames later than a fresh key's.
    input.EditText.clear();
    input.EditCursor = 0;
    Hold({KeyB, KeyF5}, 42);
    EXPECT_EQ(input.EditText, "");
    Frame({KeyB, KeyF5});
    EXPECT_EQ(input.EditText, "b");
}

}  // namespace
}  // namespace zorblet::highscore
