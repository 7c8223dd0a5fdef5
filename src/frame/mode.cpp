#include "frame/mode.h"

namespace zorblet::frame {

namespace {

constexpr std::int32_t CountdownStepSize = 2;
constexpr std::int32_t CountdownDigitFrames = 200;
constexpr std::int32_t ReadyBeepHz = 440;
constexpr std::int32_t GoBeepHz = 880;

// Back from a game, to the name entry a new game interrupted, else to the menu.
void LeaveGame(Mode& mode) {
    mode.Lives = 0;
    mode.Now = mode.NameEntryUnderGame ? Phase::NameEntry : Phase::Menu;
    mode.NameEntryUnderGame = false;
}

}  // namespace

bool InGame(const Mode& mode) {
    return mode.Now == Phase::GetReady || mode.Now == Phase::Playing;
}

bool SimulationActive(const Mode& mode) {
    return mode.Now != Phase::GetReady && !mode.Paused;
}

bool NameEntryOpen(const Mode& mode) {
    return mode.Now == Phase::NameEntry || mode.NameEntryUnderGame;
}

bool CountdownShown(const Mode& mode) {
    return mode.Now == Phase::GetReady && !mode.Paused;
}

bool MenuShown(const Mode& mode) {
    return !InGame(mode) && !mode.HelpShown;
}

bool ReadsMouse(const Mode& mode) {
    return InGame(mode) && SimulationActive(mode);
}

world::FrameInput WorldInput(const Mode& mode) {
    return {.InGame = InGame(mode), .Moving = SimulationActive(mode), .Paused = mode.Paused, .Mouse = {}};
}

// ESC: ends the program from the menu, cancels a name entry, abandons a game (no game
// over: the score stays on show).
Effects PressEscape(Mode& mode) {
    switch (mode.Now) {
        case Phase::Menu:
            return EndProgram;
        case Phase::NameEntry:
            mode.Now = Phase::Menu;
            return RestartTable;
        case Phase::GetReady:
        case Phase::Playing:
            LeaveGame(mode);
            return RestartTable | ReleaseMouse;
    }
    return NoEffect;
}

// F4 in any phase.
Effects PressPause(Mode& mode) {
    mode.Paused = !mode.Paused;
    return mode.Paused ? ReleaseMouse : NoEffect;
}

// F1 in any phase.
Effects PressHelp(Mode& mode) {
    mode.HelpShown = !mode.HelpShown;
    return NoEffect;
}

// F2 in any phase: a fresh game; pause and help stay as they are.
Effects PressNewGame(Mode& mode) {
    if (mode.Now == Phase::NameEntry) mode.NameEntryUnderGame = true;
    mode.Now = Phase::GetReady;
    mode.Lives = StartLives;
    mode.Countdown = CountdownStart;
    return ResetWorld;
}

// In the menu the ball just comes back; in a game it costs a life, the last one the game.
Effects LoseBall(Mode& mode) {
    if (!InGame(mode)) return NoEffect;
    mode.Countdown = CountdownStart;
    mode.Lives -= 1;
    if (mode.Lives > 0) {
        mode.Now = Phase::GetReady;
        return LifeLostTone;
    }
    mode.Now = Phase::NameEntry;
    mode.NameEntryUnderGame = false;
    return GameOver;
}

// From 602 the countdown takes 301 frames: beeps at 600, 400 and 200, the higher one at 0,
// and then the game is on.
std::int32_t StepCountdown(Mode& mode) {
    mode.Countdown -= CountdownStepSize;
    if (mode.Countdown == 0) {
        mode.Now = Phase::Playing;
        return GoBeepHz;
    }
    return mode.Countdown % CountdownDigitFrames == 0 ? ReadyBeepHz : 0;
}

std::int32_t CountdownDigit(const Mode& mode) {
    return mode.Countdown / CountdownDigitFrames;
}

void ConfirmName(Mode& mode) {
    if (mode.Now == Phase::NameEntry) mode.Now = Phase::Menu;
    mode.NameEntryUnderGame = false;
}

}  // namespace zorblet::frame
