#include "frame/function_keys.h"

namespace zorblet::frame {

namespace Key = platform::Key;

FunctionKeys ReadFunctionKeys(platform::KeyTester& keys) {
    FunctionKeys released;
    released.Escape = keys.Released(Key::Escape);
    released.F4 = keys.Released(Key::F4);
    released.F1 = keys.Released(Key::F1);
    released.F2 = keys.Released(Key::F2);
    released.F3 = keys.Released(Key::F3);
    return released;
}

FrameOutcome HandleFunctionKeys(Game& game, Devices& devices, const FunctionKeys& keys) {
    const auto apply = [&](Effects effects) { return ApplyEffects(game, devices, effects); };
    if (keys.Escape && apply(PressEscape(game.Run.Play, game.Run.Mode)) == FrameOutcome::EndProgram) {
        return FrameOutcome::EndProgram;
    }
    if (keys.F1) apply(PressHelp(game.Run.Mode));
    if (keys.F3) apply(ToggleSound);
    return FrameOutcome::Continue;
}

world::FrameInput RulesKeys(const FunctionKeys& keys) {
    return {.Mouse = {}, .F2Released = keys.F2, .F4Released = keys.F4, .EscReleased = keys.Escape};
}

}  // namespace zorblet::frame
