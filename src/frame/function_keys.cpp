#include "frame/function_keys.h"

#include "world/world_frame.h"

namespace zorblet::frame {

namespace {

namespace Key = platform::Key;

FrameOutcome HandleEscape(Game& game, platform::Mouse& mouse) {
    if (game.Lives > 0) {
        // Abandon the game: no game-over tune, no name entry; the score stays on show.
        game.Lives = 0;
        game.Table.TableScroll = highscore::TableScrollRestart;
        mouse.Release();
    } else if (game.NameEntryActive != 0) {
        game.NameEntryActive = 0;
        game.Table.TableScroll = highscore::TableScrollRestart;
    } else {
        return FrameOutcome::EndProgram;
    }
    return FrameOutcome::Continue;
}

}  // namespace

FrameOutcome HandleFunctionKeys(Game& game, platform::Mouse& mouse, world::Services& services) {
    if (game.Keys.Released(Key::Escape) && HandleEscape(game, mouse) == FrameOutcome::EndProgram) {
        return FrameOutcome::EndProgram;
    }
    if (game.Keys.Released(Key::F4)) {
        game.Paused = 1 - game.Paused;
        if (game.Paused == 1) mouse.Release();
    }
    if (game.Keys.Released(Key::F1)) game.HelpShown = 1 - game.HelpShown;
    if (game.Keys.Released(Key::F2)) NewGame(game, services);
    if (game.Keys.Released(Key::F3)) game.SoundOn = 1 - game.SoundOn;
    return FrameOutcome::Continue;
}

void NewGame(Game& game, world::Services& services) {
    world::StartNewGame(game, services);
}

}  // namespace zorblet::frame
