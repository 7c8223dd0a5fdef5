#include "world/rules.h"

#include <cmath>

#include "world/ball_paddle.h"
#include "world/tick.h"

namespace zorblet::world {

namespace {

constexpr std::int32_t CountdownStepSize = 2;
constexpr std::int32_t CountdownDigitFrames = 200;
constexpr std::int32_t ReadyBeepHz = 440;
constexpr std::int32_t GoBeepHz = 880;

// What the function keys did to the state of play.
struct KeysDone {
    bool Abandoned = false;
    bool Paused = false;
    bool NewGame = false;
};

// ESC abandons a game (no game over: the score stays on show), F4 pauses or goes on, F2
// starts a game; pause stays as it was across a new game.
KeysDone PressKeys(PlayState& play, const FrameInput& input) {
    KeysDone done;
    if (input.EscReleased && InGame(play)) {
        play.Now = Phase::NoGame;
        play.Lives = 0;
        done.Abandoned = true;
    }
    if (input.F4Released) {
        play.Paused = !play.Paused;
        done.Paused = play.Paused;
    }
    if (input.F2Released) {
        play.Now = Phase::GetReady;
        play.Lives = StartLives;
        play.Countdown = CountdownStart;
        done.NewGame = true;
    }
    return done;
}

enum class BallLoss { None, Life, Game };

// In the menu the ball just comes back; in a game it costs a life, the last one the game.
BallLoss LoseBall(PlayState& play) {
    if (!InGame(play)) return BallLoss::None;
    play.Countdown = CountdownStart;
    play.Lives -= 1;
    play.Now = play.Lives > 0 ? Phase::GetReady : Phase::NoGame;
    return play.Lives > 0 ? BallLoss::Life : BallLoss::Game;
}

// The ball below the floor comes back to its start; in a game it costs a life (with its
// tone), and the last one ends the game: its tune, and the score made whole.
void CatchLostBall(GameState& state, FrameEvents& events, sound::ToneStarter& tones) {
    if (!BallBelowFloor(state.World)) return;
    ResetBallAndPaddle(state.World);
    switch (LoseBall(state.Play)) {
        case BallLoss::None:
            break;
        case BallLoss::Life:
            tones.StartTone(sound::ToneEffect::LifeLost, 1);
            break;
        case BallLoss::Game:
            tones.StartTone(sound::ToneEffect::GameOverTune, 1);
            state.World.Score = std::nearbyint(state.World.Score);
            events.GameOver = true;
            break;
    }
}

bool CountdownShown(const PlayState& play) {
    return play.Now == Phase::GetReady && !play.Paused;
}

// From 602 the countdown takes 301 frames: beeps at 600, 400 and 200, the higher one at
// 0, and then the game is on. Returns the digit shown.
std::int32_t StepCountdown(PlayState& play, sound::ToneStarter& tones) {
    play.Countdown -= CountdownStepSize;
    if (play.Countdown == 0) {
        play.Now = Phase::Playing;
        tones.StartTone(sound::ToneEffect::Beep, GoBeepHz);
    } else if (play.Countdown % CountdownDigitFrames == 0) {
        tones.StartTone(sound::ToneEffect::Beep, ReadyBeepHz);
    }
    return play.Countdown / CountdownDigitFrames;
}

bool PlayerSteers(const PlayState& play) {
    return InGame(play) && SimulationActive(play);
}

TickInput TickInputOf(const PlayState& play, const MouseState& mouse) {
    TickInput input{.InGame = InGame(play), .Moving = SimulationActive(play), .Paused = play.Paused, .Mouse = {}};
    if (PlayerSteers(play)) input.Mouse = mouse;
    return input;
}

}  // namespace

bool InGame(const PlayState& play) {
    return play.Now != Phase::NoGame;
}

bool SimulationActive(const PlayState& play) {
    return play.Now != Phase::GetReady && !play.Paused;
}

void StartDemonstration(GameState& state, std::uint32_t seed) {
    StartWorld(state.World, seed);
    state.Play = PlayState{};
}

FrameEvents StepGame(GameState& state, const FrameInput& input, std::uint32_t newGameSeed, sound::ToneStarter& tones) {
    FrameEvents events;
    const KeysDone keys = PressKeys(state.Play, input);
    events.GameAbandoned = keys.Abandoned;
    events.PauseBegan = keys.Paused;
    if (keys.NewGame) {
        StartGameWorld(state.World, newGameSeed);
        events.GameStarted = true;
    }
    CatchLostBall(state, events, tones);
    TickWorld(state.World, TickInputOf(state.Play, input.Mouse), tones);
    if (CountdownShown(state.Play)) events.CountdownDigit = StepCountdown(state.Play, tones);
    return events;
}

bool SteersByMouse(const GameState& state, const FrameInput& keys) {
    PlayState play = state.Play;
    if (PressKeys(play, keys).NewGame) return false;  // a new game begins with its countdown
    if (BallBelowFloor(state.World)) LoseBall(play);
    return PlayerSteers(play);
}

FrameInput FirstRecordedFrame(const PlayState& before, FrameInput input) {
    input.EscReleased = false;
    input.F4Released = input.F4Released != before.Paused;
    return input;
}

}  // namespace zorblet::world
