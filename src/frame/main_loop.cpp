#include "frame/main_loop.h"

#include <memory>
#include <optional>
#include <utility>

#include "frame/game_recording.h"
#include "frame/switched_tones.h"
#include "highscore/fetch_url.h"
#include "highscore/highscore_table.h"
#include "render/colour.h"
#include "render/help_page.h"
#include "render/hud.h"
#include "render/menu.h"
#include "render/world_drawing.h"
#include "shared/game_math.h"
#include "world/rules.h"

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

// The name field takes this frame's keys; a confirmed name closes it and is sent: the
// record of the game whose game over opened it, when that game was played on a ticket and
// its points are the ones on show; otherwise the points on show by the seed's request.
void RunNameEntry(Game& game, Devices& devices) {
    Surroundings& screen = game.Screen;
    const auto submitUrl = highscore::NameEntryFrame(
        screen.Names, game.Machine.Keys,
        {game.Run.Mode.NameEntryActive, screen.PlayerName, game.Run.World.Score, screen.Table.TableScroll},
        devices.Highscore.Server());
    if (!submitUrl) return;
    const std::optional<highscore::PlayedGame> played = std::exchange(screen.GameForList, std::nullopt);
    if (played && played->Record->Score == RoundToInt(game.Run.World.Score)) {
        devices.Highscore.SubmitThenRefresh(*submitUrl, *played, screen.PlayerName);
    } else {
        devices.Highscore.SubmitThenRefresh(*submitUrl);
    }
    devices.Settings.RememberName(screen.PlayerName);
}

// F11 in any phase, after the other function keys.
void HandleFullscreenKey(Game& game, Devices& devices) {
    if (game.Machine.Keys.Released(platform::Key::F11)) {
        devices.Settings.RememberFullscreen(devices.Screen.ToggleFullscreen());
    }
}

// The mouse is read, and so captured, only in a frame the player steers in.
world::MouseState ReadMouse(const Game& game, Devices& devices, const world::FrameInput& keys) {
    if (!world::SteersByMouse(game.Run, keys)) return {};
    const platform::MouseReading reading = devices.Mouse.Read();
    return {reading.DeltaX, reading.DeltaY, reading.LeftButton};
}

// Input first: the keys of this frame, the program's function keys, the name field; then
// the rules' keys with the mouse, which is read once the keys have decided whether the
// player steers.
FrameOutcome ReadInput(Game& game, Devices& devices, world::FrameInput& input) {
    game.Machine.Keys.Renew(devices.Keyboard);
    const FunctionKeys keys = ReadFunctionKeys(game.Machine.Keys);
    if (HandleFunctionKeys(game, devices, keys) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    HandleFullscreenKey(game, devices);
    if (game.Run.Mode.NameEntryActive) RunNameEntry(game, devices);
    input = RulesKeys(keys);
    input.Mouse = ReadMouse(game, devices, input);
    return FrameOutcome::Continue;
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
        return screen.Highscore.FailureText.empty() ? highscore::TransferErrorText : screen.Highscore.FailureText;
    }
    if (screen.Highscore.KeptSubmissions > 0 && !mode.NameEntryActive) return KeptSubmissionText;
    return {};
}

highscore::TableInputs TableInputsOf(const Game& game) {
    const Surroundings& screen = game.Screen;
    return {.HighscoreRows = screen.Highscore.HighscoreRows,
            .ScorePlace = screen.Highscore.ScorePlace,
            .Score = game.Run.World.Score,
            .NameEntryActive = game.Run.Mode.NameEntryActive,
            .StatusTextEmpty = screen.Highscore.StatusText.empty(),
            .StatusLineFree = screen.StatusLine.empty(),
            .AnimAngle = game.Run.World.AnimAngle,
            .PlayerName = screen.PlayerName,
            .EditCursor = screen.Names.Input.EditCursor,
            .GameDate = screen.Names.GameDate,
            .TableScroll = screen.Table.DrawnScroll};
}

// The status line and the table's scroll while the menu shows, the FPS reading.
void UpdateSurroundings(Game& game, Devices& devices) {
    Surroundings& screen = game.Screen;
    if (MenuShown(game.Run.Play, game.Run.Mode)) {
        screen.StatusLine = NextStatusLine(screen, game.Run.Mode);
        highscore::UpdateHighscoreTable(screen.Table, TableInputsOf(game));
    }
    screen.Fps = CurrentFps(game.Machine.Fps, devices.Clock);
}

// A game that starts is played on the ticket at hand, if there is one, and on a seed of
// the game's own otherwise; the ticket is the game's alone.
struct NewGameSeed {
    std::uint32_t Seed = 0;
    std::optional<highscore::Ticket> Ticket;
};
NewGameSeed DrawNewGameSeed(Devices& devices) {
    std::optional<highscore::Ticket> ticket = devices.Highscore.TakeTicket();
    const std::uint32_t seed = ticket ? ticket->Seed : devices.Random.NextSeed();
    return {seed, std::move(ticket)};
}

// Which game's record is to go to the list once a name is confirmed: a game played on a
// ticket that ended with its game over, until another game starts.
void FollowTicketedGames(Surroundings& screen, const world::FrameEvents& events, const NewGameSeed& start,
                         std::shared_ptr<const record::GameRecord> ended) {
    if (events.GameStarted) {
        screen.TicketExpires = start.Ticket ? std::optional(start.Ticket->Expires) : std::nullopt;
        screen.GameForList.reset();
    }
    if (ended && !ended->Ticket.empty() && screen.TicketExpires) {
        screen.GameForList = highscore::PlayedGame{std::move(ended), *screen.TicketExpires};
    }
}

// The frame's update: the game's rules (a new game's seed found only when F2 asks for
// one) and the game's record, what they call for, the transfers' news, the screen around
// it; after a game, a ticket for the next one is asked for.
void Update(Game& game, Devices& devices, sound::ToneStarter& tones, const world::FrameInput& input) {
    const NewGameSeed start = input.F2Released ? DrawNewGameSeed(devices) : NewGameSeed{};
    RecordedStep step{.PlayBefore = game.Run.Play,
                      .ScoreShownBefore = RoundToInt(game.Run.World.Score),
                      .Input = input,
                      .NewGameSeed = start.Seed,
                      .NewGameTicket = start.Ticket ? std::string_view(start.Ticket->Text) : std::string_view(),
                      .Events = {}};
    const world::FrameEvents events = world::StepGame(game.Run, input, start.Seed, tones);
    step.Events = events;
    FollowTicketedGames(game.Screen, events, start, RecordStep(game.Machine.Recorder, devices.Games, game.Run, step));
    game.Screen.CountdownDigit = events.CountdownDigit;
    ApplyEffects(game, devices, EffectsOf(events));
    if (events.GameOver || events.GameAbandoned) devices.Highscore.RequestTicket();
    TakeHighscoreNews(game, devices);
    UpdateSurroundings(game, devices);
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
    } else if (MenuShown(run.Play, run.Mode)) {
        highscore::DrawHighscoreTable(canvas, fonts, TableInputsOf(game));
        render::DrawMenu(canvas, fonts, screen.StatusLine, run.SoundOn);
    }
    if (run.Mode.HelpShown) render::DrawHelpPage(canvas, fonts);
    render::DrawHud(canvas, fonts, {run.Play.Lives, run.World.Score, screen.Fps});
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
    world::StartDemonstration(game.Run, devices.Random.NextSeed());
    if (FetchFirstList(devices) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    devices.Highscore.ForgetRows(0, StartUpRowsForgotten);
    devices.Mouse.Read();
    devices.Canvas.ClearScreen(0, 0, 0);
    PresentFrame(game, devices, observer);
    game.Screen.PlayerName = remembered.PlayerName;
    devices.Clock.SleepMs(StartUpPauseMs);
    devices.Mouse.Release();
    devices.Highscore.RefreshBestOf();
    devices.Highscore.RequestTicket();
    devices.Highscore.SendKeptRecords();
    return FrameOutcome::Continue;
}

FrameOutcome RunFrame(Game& game, Devices& devices, FrameObserver* observer) {
    devices.Clock.SleepMs(FrameHeadSleepMs);
    if (devices.Screen.TakeCloseRequest()) return FrameOutcome::EndProgram;
    SwitchedTones tones(devices.Tones, game.Run.SoundOn);
    world::FrameInput input;
    if (ReadInput(game, devices, input) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    Update(game, devices, tones, input);
    // Drawing and presenting are timed on their own, apart from the input and the update.
    if (observer != nullptr) observer->DrawingBegins(game);
    Draw(game, devices.Canvas);
    PresentFrame(game, devices, observer);
    return FrameOutcome::Continue;
}

void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer) {
    while (RunFrame(game, devices, observer) == FrameOutcome::Continue) {
    }
    KeepUnfinishedGame(game.Machine.Recorder, devices.Games, game.Run);
}

}  // namespace zorblet::frame
