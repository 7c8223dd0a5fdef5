#include "render/replay_frame.h"

#include "render/colour.h"
#include "render/hud.h"
#include "render/menu.h"
#include "render/world_drawing.h"

namespace zorblet::render {

// In the order of the game's own frame, which draws the menu, the table and the help
// page where this leaves them out: none of them shows while a game runs.
void DrawReplayFrame(Canvas& canvas, const Fonts& fonts, const world::GameState& state, std::int32_t countdownDigit,
                     std::int32_t fpsReading) {
    canvas.ClearScreen(0, 0, 0);
    canvas.BeginDrawing();
    DrawWorld(state.World, canvas, fonts);
    canvas.SetColour(TextColour);
    if (countdownDigit >= 0) DrawCountdownDigit(canvas, fonts, countdownDigit);
    DrawHud(canvas, fonts, {state.Play.Lives, state.World.Score, fpsReading});
}

}  // namespace zorblet::render
