#include "frame/main_loop.h"

#include "frame/device_services.h"
#include "frame/play.h"
#include "highscore/fetch_url.h"
#include "highscore/highscore_table.h"
#include "render/colour.h"
#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"
#include "render/world_drawing.h"
#include "shared/game_math.h"
#include "world/bumper_ring_gate.h"
#include "world/tick.h"

namespace zorblet::frame {

namespace {

constexpr int FrameHeadSleepMs = 3;
constexpr int StartUpPauseMs = 200;
constexpr int CloseWatchMs = 1;  // the first frame waits for the first list: look often
constexpr std::int32_t StartUpRowsForgotten = 100;
constexpr int FailureShownFrames = 5 * FrameRate;
constexpr std::string_view KeptSubmissionText = "Keine Verbindung, Punkte werden nachgesendet";

void PresentFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Screen.Present(devices.Canvas.Pixels());
    if (observer != nullptr) observer->FramePresented();
    game.Machine.Pacer.WaitForFramePeriod(devices.Clock);
    if (observer != nullptr) observer->FrameWaitEnded();
}

// The name field takes this frame's keys; a confirmed name is sent.
void RunNameEntry(Game& game, Devices& devices) {
    bool active = true;
    const auto submitUrl =
        highscore::NameEntryFrame(game.Screen.Names, game.Machine.Keys,
                                  {active, game.Screen.PlayerName, game.Run.World.Score, game.Screen.Table.TableScroll},
                                  devices.Highscore.Server());
    if (!submitUrl) return;
    ConfirmName(game.Run.Mode);
    devices.Highscore.SubmitThenRefresh(*submitUrl);
    devices.Settings.RememberName(game.Screen.PlayerName);
}

// F11 in any phase, after the other function keys.
void HandleFullscreenKey(Game& game, Devices& devices) {
    if (game.Machine.Keys.Released(platform::Key::F11)) {
        devices.Settings.RememberFullscreen(devices.Screen.ToggleFullscreen());
    }
}

// Input first: the keys of this frame, the function keys, the name field; the mouse comes
// after them, as they decide whether the player steers.
FrameOutcome ReadKeys(Game& game, Devices& devices, world::Services& services) {
    game.Machine.Keys.Renew(devices.Keyboard);
    if (HandleFunctionKeys(game, devices, services) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    HandleFullscreenKey(game, devices);
    if (NameEntryOpen(game.Run.Mode)) RunNameEntry(game, devices);
    return FrameOutcome::Continue;
}

// The mouse is read, and so captured, only in a frame the player steers in.
world::MouseState ReadMouse(const Game& game, Devices& devices) {
    if (!SteersByMouse(game.Run)) return {};
    const platform::MouseReading reading = devices.Mouse.Read();
    return {reading.DeltaX, reading.DeltaY, reading.LeftButton};
}

void TakeHighscoreNews(Game& game, Devices& devices) {
    Surroundings& screen = game.Screen;
    devices.Highscore.Refresh(screen.Highscore);
    if (screen.Highscore.Failures != screen.FailuresTold) {
        screen.FailuresTold = screen.Highscore.Failures;
        screen.FailureFramesLeft = FailureShownFrames;
    }
}

// A running transfer has the status line; after it, a failure stays there for a while
// (counted in the frames that show it); then, outside a name entry, the news that a
// submission waits to be sent again.
std::string_view NextStatusLine(Surroundings& screen, const Mode& mode) {
    if (!screen.Highscore.StatusText.empty()) return screen.Highscore.StatusText;
    if (screen.FailureFramesLeft > 0) {
        --screen.FailureFramesLeft;
        return highscore::TransferErrorText;
    }
    if (screen.Highscore.KeptSubmissions > 0 && !NameEntryOpen(mode)) return KeptSubmissionText;
    return {};
}

highscore::TableInputs TableInputsOf(const Game& game) {
    const Surroundings& screen = game.Screen;
    return {.HighscoreRows = screen.Highscore.HighscoreRows,
            .ScorePlace = screen.Highscore.ScorePlace,
            .Score = game.Run.World.Score,
            .NameEntryActive = NameEntryOpen(game.Run.Mode),
            .StatusTextEmpty = screen.Highscore.StatusText.empty(),
            .StatusLineFree = screen.StatusLine.empty(),
            .AnimAngle = game.Run.World.AnimAngle,
            .PlayerName = screen.PlayerName,
            .EditCursor = screen.Names.Input.EditCursor,
            .GameDate = screen.Names.GameDate,
            .TableScroll = screen.Table.DrawnScroll};
}

// The countdown and its beeps, the status line, the table's scroll, the FPS reading.
void UpdateSurroundings(Game& game, Devices& devices, world::Services& services) {
    Surroundings& screen = game.Screen;
    Mode& mode = game.Run.Mode;
    screen.CountdownDigit = -1;
    if (CountdownShown(mode)) {
        screen.CountdownDigit = CountdownFrame(mode, services);
    } else if (MenuShown(mode)) {
        screen.StatusLine = NextStatusLine(screen, mode);
        highscore::UpdateHighscoreTable(screen.Table, TableInputsOf(game));
    }
    screen.Fps = CurrentFps(game.Machine.Fps, devices.Clock);
}

// The frame's update: the world's part, the transfers' news, the screen around it.
void Update(Game& game, Devices& devices, world::Services& services, const world::MouseState& mouse) {
    ApplyEffects(game, devices, services, PlayFrame(game.Run, services, mouse));
    TakeHighscoreNews(game, devices);
    UpdateSurroundings(game, devices, services);
}

// The picture, from the state the update left: world, overlay, help, HUD.
void Draw(const Game& game, render::Canvas& canvas) {
    const Run& run = game.Run;
    const Surroundings& screen = game.Screen;
    const render::Fonts& fonts = game.Machine.Fonts;
    canvas.ClearScreen(0, 0, 0);
    canvas.BeginDrawing();
    render::DrawWorld(run.World, canvas, fonts);
    canvas.SetColour(render::TextColour);
    if (screen.CountdownDigit >= 0) {
        render::DrawCountdownDigit(canvas, fonts, screen.CountdownDigit);
    } else if (MenuShown(run.Mode)) {
        highscore::DrawHighscoreTable(canvas, fonts, TableInputsOf(game));
        render::DrawMenu(canvas, fonts, screen.StatusLine, run.SoundOn);
    }
    if (run.Mode.HelpShown) render::DrawHelpPage(canvas, fonts);
    render::DrawHud(canvas, fonts, {run.Mode.Lives, run.World.Score, screen.Fps});
}

// The first list is fetched before the loop starts, as always; it runs on the transfer
// worker so that a click on the window's close box still ends the program at once.
FrameOutcome FetchFirstList(Devices& devices) {
    devices.Highscore.FetchList(0);
    while (devices.Highscore.Busy()) {
        if (devices.Screen.TakeCloseRequest()) return FrameOutcome::EndProgram;
        devices.Clock.SleepMs(CloseWatchMs);
    }
    return FrameOutcome::Continue;
}

}  // namespace

FrameOutcome StartUp(Game& game, Devices& devices, FrameObserver* observer, const Remembered& remembered) {
    game.Screen.Names.Keys = highscore::BuildKeyMap();
    game.Machine.Fonts = render::CreateFonts(devices.Fonts);
    game.Run.SoundOn = remembered.SoundOn;
    game.Screen.Highscore = highscore::BoardView{};
    game.Machine.Fps.FpsStartTick = devices.Clock.Ticks();
    devices.Screen.Open();
    game.Machine.Pacer.SetFrameRate(devices.Clock, FrameRate);
    DeviceServices services(devices, game);
    world::StartWorld(game.Run.World, services);
    if (FetchFirstList(devices) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    world::StartExtras(game.Run.World);
    devices.Highscore.ForgetRows(0, StartUpRowsForgotten);
    devices.Mouse.Read();
    devices.Canvas.ClearScreen(0, 0, 0);
    PresentFrame(game, devices, observer);
    game.Screen.PlayerName = remembered.PlayerName;
    devices.Clock.SleepMs(StartUpPauseMs);
    devices.Mouse.Release();
    devices.Highscore.RefreshBestOf();
    return FrameOutcome::Continue;
}

FrameOutcome RunFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Clock.SleepMs(FrameHeadSleepMs);
    if (devices.Screen.TakeCloseRequest()) return FrameOutcome::EndProgram;
    DeviceServices services(devices, game);
    if (ReadKeys(game, devices, services) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    Update(game, devices, services, ReadMouse(game, devices));
    // Drawing and presenting are timed on their own, apart from the input and the update.
    if (observer != nullptr) observer->DrawingBegins(game);
    Draw(game, devices.Canvas);
    PresentFrame(game, devices, observer);
    return FrameOutcome::Continue;
}

void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer) {
    while (RunFrame(game, devices, observer) == FrameOutcome::Continue) {
    }
}

}  // namespace zorblet::frame
