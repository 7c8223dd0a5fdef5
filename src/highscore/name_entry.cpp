#include "highscore/name_entry.h"

#include "highscore/check_text.h"
#include "highscore/service_urls.h"
#include "highscore/table_view.h"
#include "shared/game_math.h"

namespace zorblet::highscore {

std::optional<std::string> NameEntryFrame(NameEntry& entry, platform::KeyTester& keys, const NameEntryFrameState& state,
                                          std::string_view server) {
    UpdateTextInput(entry.Input, entry.Keys, keys, state.NameEntryActive);
    state.PlayerName = entry.Input.EditText;
    if (state.NameEntryActive) return std::nullopt;
    if (entry.Input.EditText.empty()) {
        state.NameEntryActive = true;  // a name is needed
        return std::nullopt;
    }
    state.TableScroll = TableScrollRestart;
    const std::int32_t points = RoundToInt(state.Score);
    entry.NameInitial = static_cast<unsigned char>(state.PlayerName.front());
    entry.CheckText = BuildCheckText(points, state.PlayerName);
    entry.SubmitUrl = SubmitUrl(server, points, state.PlayerName, entry.CheckText);
    return entry.SubmitUrl;
}

}  // namespace zorblet::highscore
