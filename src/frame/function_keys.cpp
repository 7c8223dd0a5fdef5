#include "frame/function_keys.h"

namespace zorblet::frame {

namespace Key = platform::Key;

FrameOutcome HandleFunctionKeys(Game& game, Devices& devices, world::Services& services) {
    platform::KeyTester& keys = game.Machine.Keys;
    Mode& mode = game.Run.Mode;
    const auto apply = [&](Effects effects) { return ApplyEffects(game, devices, services, effects); };
    if (keys.Released(Key::Escape) && apply(PressEscape(mode)) == FrameOutcome::EndProgram) {
        return FrameOutcome::EndProgram;
    }
    if (keys.Released(Key::F4)) apply(PressPause(mode));
    if (keys.Released(Key::F1)) apply(PressHelp(mode));
    if (keys.Released(Key::F2)) apply(PressNewGame(mode));
    if (keys.Released(Key::F3)) apply(ToggleSound);
    return FrameOutcome::Continue;
}

}  // namespace zorblet::frame
