#pragma once
// The state of play: one phase, with pause and help stacked on it, the lives and the
// get-ready countdown. Every change of it lives in mode.cpp, which reads as the game's
// state table; the frame carries out the effects a change calls for, all in one place
// (effects.cpp).

#include <cstdint>

#include "world/services.h"

namespace zorblet::frame {

enum class Phase {
    Menu,       // no game: the world plays itself behind the table and the menu
    NameEntry,  // after a game: the name is typed into the table
    GetReady,   // a life begins: the countdown runs, ball and paddle wait
    Playing,    // the mouse steers, points count
};

inline constexpr std::int32_t CountdownStart = 602;
inline constexpr std::int32_t StartLives = 3;

struct Mode {
    Phase Now = Phase::Menu;
    bool Paused = false;     // F4, on top of any phase: the world stands still
    bool HelpShown = false;  // F1, on top of any phase
    // A name entry that F2 interrupted stays open under the new game: it still takes
    // keys, and leaving that game with ESC comes back to it.
    bool NameEntryUnderGame = false;
    std::int32_t Lives = 0;
    std::int32_t Countdown = CountdownStart;
};

bool InGame(const Mode& mode);
// The world moves: not paused, and no countdown runs.
bool SimulationActive(const Mode& mode);
bool NameEntryOpen(const Mode& mode);
// The countdown's digit is up: a countdown runs and the game is not paused.
bool CountdownShown(const Mode& mode);
// The highscore table and the menu are up: no game runs and no help page covers them.
bool MenuShown(const Mode& mode);
// The player steers: the mouse is read (and so captured) in this frame.
bool ReadsMouse(const Mode& mode);
// What the world's tick needs to know of the mode.
world::FrameInput WorldInput(const Mode& mode);

// What a change of the mode calls for.
enum Effect : unsigned {
    NoEffect = 0,
    EndProgram = 1 << 0,
    ReleaseMouse = 1 << 1,
    RestartTable = 1 << 2,  // the best-of table scrolls in from the bottom again
    ResetWorld = 1 << 3,    // the world of a new game
    GameOver = 1 << 4,      // the game-over chain: tune, name entry, list around the score
    LifeLostTone = 1 << 5,
    ToggleSound = 1 << 6,  // F3: the sound switch, and the settings remember it
};
using Effects = unsigned;

// The function keys, on release.
Effects PressEscape(Mode& mode);
Effects PressPause(Mode& mode);
Effects PressHelp(Mode& mode);
Effects PressNewGame(Mode& mode);
// The ball fell below the floor (the world has put it back already).
Effects LoseBall(Mode& mode);
// One frame of the countdown, while it is shown: lowered by 2; the beep it calls for in
// hertz, 0 for none.
std::int32_t StepCountdown(Mode& mode);
// The countdown's digit.
std::int32_t CountdownDigit(const Mode& mode);
// A name was typed and confirmed.
void ConfirmName(Mode& mode);

}  // namespace zorblet::frame
