#pragma once
// Games the frame benchmark's play bot plays without a window, kept as records: the game's
// rules stepped as the frame steps them, the bot's mouse readings as the frames' inputs.

#include <cstdint>

#include "record/game_record.h"

namespace zorblet::bench {

// One game on the given seed, from the F2 that starts it until its last ball is lost or
// maxFrames have passed (then it ends as abandoned, with ESC in its last frame).
record::GameRecord PlayBotGame(std::uint32_t seed, std::uint32_t maxFrames);

}  // namespace zorblet::bench
