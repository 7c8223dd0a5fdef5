#include "frame/effects.h"

#include <cmath>

#include "highscore/local_date.h"
#include "highscore/table_view.h"
#include "shared/game_math.h"
#include "world/tick.h"

namespace zorblet::frame {

namespace {

// The last life is lost: the game-over tune, the name entry with the last name, the
// score made whole, the date of the game, the cursor free, and the list around the score.
void RunGameOver(Game& game, Devices& devices, world::Services& services) {
    services.StartTone(sound::ToneEffect::GameOverTune, 1);
    bool opened = false;
    highscore::StartTextInput(game.Screen.Names.Input, game.Screen.PlayerName, opened);
    world::World& world = game.Run.World;
    world.Score = std::nearbyint(world.Score);
    game.Screen.Names.GameDate = highscore::FormatDate();
    devices.Mouse.Release();
    devices.Highscore.FetchList(RoundToInt(world.Score));
}

}  // namespace

FrameOutcome ApplyEffects(Game& game, Devices& devices, world::Services& services, Effects effects) {
    if ((effects & EndProgram) != 0) return FrameOutcome::EndProgram;
    if ((effects & ResetWorld) != 0) world::ResetWorldForNewGame(game.Run.World, services);
    if ((effects & RestartTable) != 0) game.Screen.Table.TableScroll = highscore::TableScrollRestart;
    if ((effects & LifeLostTone) != 0) services.StartTone(sound::ToneEffect::LifeLost, 1);
    if ((effects & ReleaseMouse) != 0) devices.Mouse.Release();
    if ((effects & GameOver) != 0) RunGameOver(game, devices, services);
    if ((effects & ToggleSound) != 0) {
        game.Run.SoundOn = !game.Run.SoundOn;
        devices.Settings.RememberSound(game.Run.SoundOn);
    }
    return FrameOutcome::Continue;
}

}  // namespace zorblet::frame
