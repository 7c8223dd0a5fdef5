#include "frame/mode.h"

namespace zorblet::frame {

bool MenuShown(const world::PlayState& play, const Mode& mode) {
    return !world::InGame(play) && !mode.HelpShown;
}

Effects PressEscape(const world::PlayState& play, Mode& mode) {
    if (world::InGame(play)) return NoEffect;
    if (!mode.NameEntryActive) return EndProgram;
    mode.NameEntryActive = false;
    return RestartTable;
}

Effects PressHelp(Mode& mode) {
    mode.HelpShown = !mode.HelpShown;
    return NoEffect;
}

Effects EffectsOf(const world::FrameEvents& events) {
    Effects effects = NoEffect;
    if (events.GameAbandoned) effects |= RestartTable | ReleaseMouse;
    if (events.PauseBegan) effects |= ReleaseMouse;
    if (events.GameOver) effects |= GameOver;
    return effects;
}

}  // namespace zorblet::frame
