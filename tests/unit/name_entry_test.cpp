// The name entry after a game: Enter with a name submits, an empty name does not.

#include "highscore/name_entry.h"

#include <gtest/gtest.h>

#include "highscore/check_text.h"
#include "platform/keyboard.h"

namespace zorblet::highscore {
namespace {

namespace Key = platform::Key;

class NameEntryTest : public ::testing::Test {
protected:
    // One frame with these keys down, then one with all up (the release acts there).
    std::optional<std::string> Tap(std::initializer_list<int> keyList) {
        platform::KeySnapshot down{};
        for (int key : keyList) down[key] = true;
        keys.Renew(down);
        EXPECT_EQ(Frame(), std::nullopt) << "keys act on release";
        keys.Renew(platform::KeySnapshot{});
        return Frame();
    }
    // The key goes up while Shift is still held, as a typist's fingers do.
    void TapShifted(int key) {
        platform::KeySnapshot down{};
        down[Key::LeftShift] = down[key] = true;
        keys.Renew(down);
        Frame();
        down[key] = false;
        keys.Renew(down);
        Frame();
        keys.Renew(platform::KeySnapshot{});
        Frame();
    }
    std::optional<std::string> Frame() {
        return NameEntryFrame(entry, keys, {active, playerName, score, tableScroll}, "http://scores.test/z/");
    }

    NameEntry entry;
    platform::KeyTester keys;
    bool active = false;
    std::string playerName = "Old";
    float score = 157.5f;
    std::int32_t tableScroll = 999;
};

TEST_F(NameEntryTest, EnterOnAnEmptyFieldKeepsTheEntryOpenAndSendsNothing) {
    StartTextInput(entry.Input, "", active);
    EXPECT_EQ(Tap({Key::Enter}), std::nullopt);
    EXPECT_TRUE(active);
    EXPECT_EQ(playerName, "");
    EXPECT_EQ(tableScroll, 999);
}

TEST_F(NameEntryTest, EnterWithANameBuildsTheCheckedSubmission) {
    StartTextInput(entry.Input, "", active);
    TapShifted(40);  // the key right of L: Ä
    EXPECT_EQ(playerName, "\xC4") << "the player's name follows the field every frame";
    for (int key : {19, 34, 18, 19}) Tap({key});  // r g e r
    Tap({57});                                    // space
    TapShifted(7);                                // &
    const auto url = Tap({Key::KeypadEnter});
    ASSERT_TRUE(url.has_value());
    EXPECT_FALSE(active);
    EXPECT_EQ(playerName, "\xC4rger &");
    EXPECT_EQ(tableScroll, 10) << "the best-of table starts again from the bottom";
    EXPECT_EQ(entry.NameInitial, 196);
    EXPECT_EQ(entry.CheckText, BuildCheckText(158, "\xC4rger &")) << "over the raw name; 157.5 rounds to even";
    EXPECT_EQ(*url, "http://scores.test/z/HighScoreSQL.php?Punkte=158&Name=%C4rger%20%26&Check=" + entry.CheckText);
    EXPECT_EQ(entry.SubmitUrl, *url);
}

TEST_F(NameEntryTest, LastNameComesBackAndCanBeEdited) {
    StartTextInput(entry.Input, playerName, active);
    Tap({Key::Backspace});
    Tap({24});  // o
    EXPECT_EQ(playerName, "Olo");
    EXPECT_TRUE(Tap({Key::Enter}).has_value());
}

}  // namespace
}  // namespace zorblet::highscore
