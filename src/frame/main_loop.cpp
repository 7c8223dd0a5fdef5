#include "frame/main_loop.h"

#include <cmath>

#include "frame/device_services.h"
#include "highscore/fetch_url.h"
#include "highscore/highscore_table.h"
#include "highscore/local_date.h"
#include "render/colour.h"
#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"
#include "render/numbers.h"
#include "world/ball_paddle.h"
#include "world/bumper_ring_gate.h"
#include "world/world_frame.h"

namespace zorblet::frame {

namespace {

constexpr int FrameHeadSleepMs = 3;
constexpr int StartUpPauseMs = 200;
constexpr int CloseWatchMs = 1;  // the first frame waits for the first list: look often
constexpr std::int32_t StartUpRowsForgotten = 100;
constexpr int FailureShownFrames = 5 * FrameRate;
constexpr std::string_view KeptSubmissionText = "Keine Verbindung, Punkte werden nachgesendet";

void PresentFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Screen.Present(game.Canvas.Pixels());
    if (observer != nullptr) observer->FramePresented();
    game.Pacer.WaitForFramePeriod(devices.Clock);
    if (observer != nullptr) observer->FrameWaitEnded();
}

// The last life is lost: the game-over tune, the name entry with the last name, the
// score made whole, the date of the game, the cursor free, and the list around the score.
void GameOver(Game& game, Devices& devices) {
    devices.Tones.StartTone(sound::ToneEffect::GameOverTune, 1);
    highscore::StartTextInput(game.Names.Input, game.PlayerName, game.NameEntryActive);
    game.Score = std::nearbyint(game.Score);
    game.Names.GameDate = highscore::FormatDate();
    devices.Mouse.Release();
    devices.Highscore.FetchList(render::RoundToInt(game.Score));
}

// A running transfer has the status line; after it, a failure stays there for a while;
// then, outside a name entry, the news that a submission waits to be sent again.
std::string_view StatusLine(Game& game) {
    if (!game.Highscore.StatusText.empty()) return game.Highscore.StatusText;
    if (game.FailureFramesLeft > 0) {
        --game.FailureFramesLeft;
        return highscore::TransferErrorText;
    }
    if (game.Highscore.KeptSubmissions > 0 && game.NameEntryActive == 0) return KeptSubmissionText;
    return {};
}

void TakeHighscoreNews(Game& game, Devices& devices) {
    devices.Highscore.Refresh(game.Highscore);
    if (game.Highscore.Failures != game.FailuresTold) {
        game.FailuresTold = game.Highscore.Failures;
        game.FailureFramesLeft = FailureShownFrames;
    }
}

void DrawTableAndMenu(Game& game) {
    const std::string_view statusLine = StatusLine(game);
    highscore::DrawHighscoreTable(game.Canvas, game.Fonts,
                                  {.HighscoreRows = game.Highscore.HighscoreRows,
                                   .ScorePlace = game.Highscore.ScorePlace,
                                   .Score = game.Score,
                                   .NameEntryActive = game.NameEntryActive,
                                   .StatusTextEmpty = game.Highscore.StatusText.empty(),
                                   .StatusLineFree = statusLine.empty(),
                                   .AnimAngle = game.AnimAngle,
                                   .PlayerName = game.PlayerName,
                                   .EditCursor = game.Names.Input.EditCursor,
                                   .GameDate = game.Names.GameDate,
                                   .TableScroll = game.Table.TableScroll});
    render::DrawMenu(game.Canvas, game.Fonts, statusLine, game.SoundOn != 0);
}

void DrawOverlay(Game& game, world::Services& services) {
    if (game.Lives > 0 && game.Countdown > 0 && game.Paused == 0) {
        world::CountdownStep(game, services, game.Canvas, game.Fonts);
        return;
    }
    if (game.Lives == 0 && game.HelpShown == 0) DrawTableAndMenu(game);
}

void RunNameEntry(Game& game, Devices& devices) {
    const auto submitUrl = highscore::NameEntryFrame(
        game.Names, game.Keys, {game.NameEntryActive, game.PlayerName, game.Score, game.Table.TableScroll},
        devices.Highscore.Server());
    if (submitUrl) devices.Highscore.NetworkThread(1, *submitUrl);
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

void DrawFrame(Game& game, Devices& devices, world::Services& services) {
    game.Canvas.ClearScreen(0, 0, 0);
    game.Canvas.BeginDrawing();
    if (world::BallLostCheck(game, services)) GameOver(game, devices);
    TakeHighscoreNews(game, devices);
    if (game.Paused == 0) world::AdvanceAnimAngle(game);
    if (SimulationActive(game)) world::StepBallAndPaddle(game, services);
    world::StepWorld(game, services, game.Canvas, game.Fonts);
    game.Canvas.SetColour(render::TextColour);
    DrawOverlay(game, services);
    if (game.HelpShown == 1) render::DrawHelpPage(game.Canvas, game.Fonts);
    render::DrawHud(game.Canvas, game.Fonts, {game.Lives, game.Score, CurrentFps(game.Fps, devices.Clock)});
}

}  // namespace

FrameOutcome StartUp(Game& game, Devices& devices, FrameObserver* observer) {
    game.Names.Keys = highscore::BuildKeyMap();
    game.Fonts = render::CreateFonts(devices.Fonts);
    game.SoundOn = 1;
    game.Highscore = highscore::BoardView{};
    game.Fps.FpsStartTick = devices.Clock.Ticks();
    devices.Screen.Open();
    game.Pacer.SetFrameRate(devices.Clock, FrameRate);
    DeviceServices services(devices);
    world::StartWorld(game, services);
    if (FetchFirstList(devices) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    world::StartExtras(game);
    devices.Highscore.ForgetRows(0, StartUpRowsForgotten);
    devices.Mouse.Read();
    game.Canvas.ClearScreen(0, 0, 0);
    PresentFrame(game, devices, observer);
    game.PlayerName.clear();
    devices.Clock.SleepMs(StartUpPauseMs);
    devices.Mouse.Release();
    devices.Highscore.NetworkThread(2);
    return FrameOutcome::Continue;
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
    if (game.NameEntryActive != 0) RunNameEntry(game, devices);
    return FrameOutcome::Continue;
}

void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer) {
    while (RunFrame(game, devices, observer) == FrameOutcome::Continue) {
    }
}

}  // namespace zorblet::frame
