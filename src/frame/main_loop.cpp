#include "frame/main_loop.h"

#include "render/colour.h"
#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"

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

void DrawOverlay(Game& game) {
    if (game.Lives > 0 && game.Countdown > 0 && game.Paused == 0) {
        // The get-ready countdown with its digit runs here once the world exists.
        return;
    }
    if (game.Lives == 0 && game.HelpShown == 0) {
        // The highscore table is drawn here, above the menu.
        render::DrawMenu(game.Canvas, game.Fonts, game.StatusText, game.SoundOn != 0);
    }
}

void DrawFrame(Game& game, Devices& devices) {
    game.Canvas.ClearScreen(0, 0, 0);
    game.Canvas.BeginDrawing();
    // The lost-ball check runs here once the world exists.
    if (game.Paused == 0) game.AnimAngle += 2;
    // While SimulationActive, the ball and paddle step here; then, every frame,
    // the world's passes update and draw its objects.
    game.Canvas.SetColour(render::TextColour);
    DrawOverlay(game);
    if (game.HelpShown == 1) render::DrawHelpPage(game.Canvas, game.Fonts);
    render::DrawHud(game.Canvas, game.Fonts, {game.Lives, game.Score, CurrentFps(game.Fps, devices.Clock)});
}

}  // namespace

void StartUp(Game& game, Devices& devices, FrameObserver* observer) {
    // The key map for the name entry is built here.
    game.Fonts = render::CreateFonts(devices.Fonts);
    // The world's object lists are created here.
    game.SoundOn = 1;
    // The highscore rows are allocated here.
    game.Fps.FpsStartTick = devices.Clock.Ticks();
    devices.Screen.Open();
    game.Pacer.SetFrameRate(devices.Clock, FrameRate);
    // The world takes its initial values here.
    game.Countdown = CountdownStart;
    game.Lives = 0;
    game.Score = 0.0f;
    // The list around score 0 is fetched here, then the extras get their start values
    // and the rows are emptied again.
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
    if (observer != nullptr) observer->DrawingBegins();
    DrawFrame(game, devices);
    PresentFrame(game, devices, observer);
    game.Keys.Renew(devices.Keyboard);
    if (HandleFunctionKeys(game, devices.Mouse) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    // While NameEntryActive, one step of the name entry runs here.
    return FrameOutcome::Continue;
}

void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer) {
    while (RunFrame(game, devices, observer) == FrameOutcome::Continue) {
    }
}

}  // namespace zorblet::frame
