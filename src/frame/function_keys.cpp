#include "frame/function_keys.h"

#include "world/tick.h"

namespace zorblet::frame {

namespace Key = platform::Key;

FrameOutcome ApplyEffects(Game& game, Effects effects, platform::Mouse& mouse, world::Services& services) {
    if ((effects & EndProgram) != 0) return FrameOutcome::EndProgram;
    if ((effects & ResetWorld) != 0) world::ResetWorldForNewGame(game.Run.World, services);
    if ((effects & RestartTable) != 0) game.Screen.Table.TableScroll = highscore::TableScrollRestart;
    if ((effects & LifeLostTone) != 0) services.StartTone(sound::ToneEffect::LifeLost, 1);
    if ((effects & ReleaseMouse) != 0) mouse.Release();
    return FrameOutcome::Continue;
}

FrameOutcome HandleFunctionKeys(Game& game, platform::Mouse& mouse, world::Services& services) {
    platform::KeyTester& keys = game.Machine.Keys;
    Mode& mode = game.Run.Mode;
    const auto apply = [&](Effects effects) { return ApplyEffects(game, effects, mouse, services); };
    if (keys.Released(Key::Escape) && apply(PressEscape(mode)) == FrameOutcome::EndProgram) {
        return FrameOutcome::EndProgram;
    }
    if (keys.Released(Key::F4)) apply(PressPause(mode));
    if (keys.Released(Key::F1)) apply(PressHelp(mode));
    if (keys.Released(Key::F2)) apply(PressNewGame(mode));
    if (keys.Released(Key::F3)) game.Run.SoundOn = 1 - game.Run.SoundOn;
    return FrameOutcome::Continue;
}

}  // namespace zorblet::frame
