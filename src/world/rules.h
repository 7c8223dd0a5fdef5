#pragma once
// The game's rules as one step per frame: what the function keys do to the state of play
// (F2 a new game, F4 the pause, ESC abandons the game), the lost ball and the lives, the
// world's tick, the get-ready countdown and its beeps. The desktop game's frame calls it,
// and a recorded game replays through it (in the game, on the highscore service, in a
// browser), so the two cannot drift apart. It needs no window, font or sound device: it
// reaches outside only to start tones.

#include <cstdint>

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

// Raised whenever a change of the rules makes a recorded game replay differently.
inline constexpr std::uint32_t RulesVersion = 1;

inline constexpr std::int32_t CountdownStart = 602;
inline constexpr std::int32_t StartLives = 3;

enum class Phase : std::uint8_t {
    NoGame,    // the world plays itself as the menu's demonstration
    GetReady,  // a life begins: the countdown runs, ball and paddle wait
    Playing,   // the mouse steers, points count
};

// The state of play: the phase, the pause on top of it, the lives and the countdown.
struct PlayState {
    Phase Now = Phase::NoGame;
    bool Paused = false;  // F4, in any phase: the world stands still
    std::int32_t Lives = 0;
    std::int32_t Countdown = CountdownStart;
};

// Everything the rules decide from and change: the world and the state of play.
struct GameState {
    world::World World;  // qualified: the member takes the type's name
    PlayState Play;
};

// What reaches the rules in one frame, and so what a recorded game holds frame by frame:
// the mouse as read in this frame (nothing is read, and all is 0, in a frame whose paddle
// the player does not steer; see SteersByMouse) and the function keys released in it.
struct FrameInput {
    MouseState Mouse;
    bool F2Released = false;   // a new game
    bool F4Released = false;   // pause, or go on
    bool EscReleased = false;  // abandons a running game (the rest of ESC is the program's)
};

// What a frame's step did that the program around the world acts on.
struct FrameEvents {
    bool GameStarted = false;    // F2: a new game on the seed given, from this frame on
    bool GameAbandoned = false;  // ESC in a game; the score stays as it was
    bool GameOver = false;       // the last ball was lost; the score is whole
    bool PauseBegan = false;     // F4 paused
    std::int32_t CountdownDigit = -1;  // the countdown's digit of this frame, -1 for none
};

bool InGame(const PlayState& play);
// The world moves: not paused, and no countdown runs.
bool SimulationActive(const PlayState& play);

// The state when the program starts: no game, the demonstration on its own seed.
void StartDemonstration(GameState& state, std::uint32_t seed);

// One frame, in this order: ESC, F4, F2 (a new game on newGameSeed, which is read only
// then); a ball below the floor comes back, in a game for a life, the last one ending it;
// the world's tick, the paddle steered by input.Mouse while the player steers; one step
// of the countdown while it shows. Tones start through tones.
FrameEvents StepGame(GameState& state, const FrameInput& input, std::uint32_t newGameSeed, sound::ToneStarter& tones);

// Whether the paddle follows input.Mouse in the frame that these keys begin: a game runs
// and moves after the keys, and no ball is lost first. The desktop game reads the mouse
// (which captures it) only in such a frame.
bool SteersByMouse(const GameState& state, const FrameInput& keys);

// A recorded game replays from GameState{} (no game, no pause): its first frame, the one
// whose F2 started the game, is recorded as that state would need it. The ESC before F2
// belonged to the game before; a game started while paused carries its pause as an F4.
FrameInput FirstRecordedFrame(const PlayState& before, FrameInput input);

}  // namespace zorblet::world
