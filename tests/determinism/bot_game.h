#pragma once
// Long games for the determinism test, played by a scripted bot on the game's rules alone:
// the paddle kept under the ball and aimed at whatever extra is up, a shot now and then, a
// pause in the middle, and the balls let fall once the gate and the ring have been met.
// What comes out is data, a seed and the input of every frame from the one whose F2
// started the game, which is what a recorded game holds.

#include <cstdint>
#include <vector>

#include "world/rules.h"

namespace zorblet::testing {

struct RecordedGame {
    std::uint32_t Seed = 0;
    std::vector<world::FrameInput> Frames;  // the first one's F2 starts the game
};

// What the bot met on its way: the test insists that a game goes through all of it.
struct BotTally {
    int GatesLive = 0, RingsLive = 0, BumpersHit = 0, Crackles = 0, Shots = 0, LostBalls = 0;
    bool GameOver = false;
    std::int32_t FinalScore = 0;
};

struct BotOptions {
    std::uint32_t DemonstrationSeed = 1;  // the menu's, before the game
    std::uint32_t GameSeed = 1;
    bool StartPaused = false;  // F4 in the menu just before F2: the game begins paused
};

// Plays a game from the menu's demonstration to its game over (or 60,000 frames).
RecordedGame PlayBotGame(const BotOptions& options, BotTally& tally);

}  // namespace zorblet::testing
