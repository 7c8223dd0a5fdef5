#include "frame/effects.h"

#include "highscore/local_date.h"
#include "highscore/table_view.h"
#include "shared/game_math.h"

namespace zorblet::frame {

namespace {

// The last life is lost (the rules played the tune and made the score whole): the name
// entry with the last name, the date of the game, the cursor free, and the list around
// the score.
void RunGameOver(Game& game, Devices& devices) {
    highscore::StartTextInput(game.Screen.Names.Input, game.Screen.PlayerName, game.Run.Mode.NameEntryActive);
    game.Screen.Names.GameDate = highscore::FormatDate();
    devices.Mouse.Release();
    devices.Highscore.FetchList(RoundToInt(game.Run.World.Score));
}

}  // namespace

FrameOutcome ApplyEffects(Game& game, Devices& devices, Effects effects) {
    if ((effects & EndProgram) != 0) return FrameOutcome::EndProgram;
    if ((effects & RestartTable) != 0) game.Screen.Table.TableScroll = highscore::TableScrollRestart;
    if ((effects & ReleaseMouse) != 0) devices.Mouse.Release();
    if ((effects & GameOver) != 0) RunGameOver(game, devices);
    if ((effects & ToggleSound) != 0) {
        game.Run.SoundOn = !game.Run.SoundOn;
        devices.Settings.RememberSound(game.Run.SoundOn);
    }
    return FrameOutcome::Continue;
}

}  // namespace zorblet::frame
