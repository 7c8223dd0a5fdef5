#pragma once
// The name entry after a game: one step of the field per frame, and the submission of
// the score once a name is confirmed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "highscore/key_map.h"
#include "highscore/text_input.h"
#include "platform/keyboard.h"

namespace zorblet::highscore {

struct NameEntry {
    KeyMap Keys = BuildKeyMap();
    TextInput Input;
    std::string GameDate;  // "dd.MM.yy" of the game's end
    std::int32_t NameInitial = 0;
    std::string CheckText;
    std::string SubmitUrl;
};

// What the name entry reads and writes of the rest of the program.
struct NameEntryFrameState {
    bool& NameEntryActive;
    std::string& PlayerName;
    float Score;
    std::int32_t& TableScroll;
};

// One frame of the open name entry. Enter with a name builds the check value and the
// submission URL and returns the URL for the caller to send; Enter on an empty field
// leaves the entry open.
std::optional<std::string> NameEntryFrame(NameEntry& entry, platform::KeyTester& keys, const NameEntryFrameState& state,
                                          std::string_view server);

}  // namespace zorblet::highscore
