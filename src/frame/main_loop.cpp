#include "frame/main_loop.h"

#include <cmath>

#include "frame/device_services.h"
#include "render/colour.h"
#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"
#include "world/ball_paddle.h"
#include "world/bumper_ring_gate.h"
#include "world/world_frame.h"

namespace zorblet::frame {

namespace {

constexpr int FrameHeadSleepMs = 3;
constexpr int StartUpPauseMs = 200;

void PresentFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Screen.Present(game.Canvas.Pixels());
    if (observer != nullptr) observer->FramePresented();
    game.Pacer.WaitForFramePeriod(devices.Clock);
    if (observer != nullptr) observer->FrameWaitEnded();
}

// The last life is lost: the game-over tune, the score made whole, the cursor free.
void GameOver(Game& game, Devices& devices) {
    devices.Tones.StartTone(sound::ToneEffect::GameOverTune, 1);
    // The name entry opens here with PlayerName.
    game.Score = std::nearbyint(game.Score);
    // Today's date for the player's row is taken here.
    devices.Mouse.Release();
    // The list around the score is fetched here, on a worker.
}

void DrawOverlay(Game& game, world::Services& services) {
    if (game.Lives > 0 && game.Countdown > 0 && game.Paused == 0) {
        world::CountdownStep(game, services, game.Canvas, game.Fonts);
        return;
    }
    if (game.Lives == 0 && game.HelpShown == 0) {
        // The highscore table is drawn here, above the menu.
        render::DrawMenu(game.Canvas, game.Fonts, game.StatusText, game.SoundOn != 0);
    }
}

void DrawFrame(Game& game, Devices& devices, world::Services& services) {
    game.Canvas.ClearScreen(0, 0, 0);
    game.Canvas.BeginDrawing();
    if (world::BallLostCheck(game, services)) GameOver(game, devices);
    if (game.Paused == 0) world::AdvanceAnimAngle(game);
    if (SimulationActive(game)) world::StepBallAndPaddle(game, services);
    world::StepWorld(game, services, game.Canvas, game.Fonts);
    game.Canvas.SetColour(render::TextColour);
    DrawOverlay(game, services);
    if (game.HelpShown == 1) render::DrawHelpPage(game.Canvas, game.Fonts);
    render::DrawHud(game.Canvas, game.Fonts, {game.Lives, game.Score, CurrentFps(game.Fps, devices.Clock)});
}

}  // namespace

void StartUp(Game& game, Devices& devices, FrameObserver* observer) {
    // The key map for the name entry is built here.
    game.Fonts = render::CreateFonts(devices.Fonts);
    game.SoundOn = 1;
    // The highscore rows are allocated here.
    game.Fps.FpsStartTick = devices.Clock.Ticks();
    devices.Screen.Open();
    game.Pacer.SetFrameRate(devices.Clock, FrameRate);
    DeviceServices services(devices);
    world::StartWorld(game, services);
    // The list around score 0 is fetched here.
    world::StartExtras(game);
    // The rows are emptied again here.
    devices.Mouse.Read();
    game.Canvas.ClearScreen(0, 0, 0);
    PresentFrame(game, devices, observer);
    game.PlayerName.clear();
    devices.Clock.SleepMs(StartUpPauseMs);
    devices.Mouse.Release();
    // The best-of table is fetched in the background from here on.
}

FrameOutcome RunFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Clock.SleepMs(FrameHeadSleepMs);
    if (devices.Screen.TakeCloseRequest()) return FrameOutcome::EndProgram;
    if (observer != nullptr) observer->DrawingBegins(game);
    DeviceServices services(devices);
    DrawFrame(game, devices, services);
    PresentFrame(game, devices, observer);
    game.Keys.Renew(devices.Keyboard);
    if (HandleFunctionKeys(game, devices.Mouse, services) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    // While NameEntryActive, one step of the name entry runs here.
    return FrameOutcome::Continue;
}

void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer) {
    while (RunFrame(game, devices, observer) == FrameOutcome::Continue) {
    }
}

}  // namespace zorblet::frame
