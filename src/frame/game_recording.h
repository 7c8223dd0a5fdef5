#pragma once
// The record of every game the player plays: from the frame whose F2 started it, written
// as a replay from a fresh state needs it, through every frame after, to its end (the
// last ball lost, ESC, F2 for another game, or the program's end), then handed over to
// be kept. A frame's part is a copy into room taken when the game started.

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/game_archive.h"
#include "record/recorder.h"
#include "world/rules.h"

namespace zorblet::frame {

// One step of the rules as the recorder sees it.
struct RecordedStep {
    world::PlayState PlayBefore;        // the state of play before the step
    std::int32_t ScoreShownBefore = 0;  // the points on show before the step
    world::FrameInput Input;            // what reached the rules
    std::uint32_t NewGameSeed = 0;      // the seed of a game the step started
    std::string_view NewGameTicket;     // and the highscore service's ticket it was played on, if any
    world::FrameEvents Events;          // what the step did
};

// Records the step that left the state `after`; hands the record over when it ends a game.
// Returns the record of a game the step ended with its game over, for the list.
std::shared_ptr<const record::GameRecord> RecordStep(record::Recorder& recorder, platform::GameArchive& archive,
                                                     const world::GameState& after, const RecordedStep& step);

// The program ends: a game still running is kept as abandoned, with the points it shows.
void KeepUnfinishedGame(record::Recorder& recorder, platform::GameArchive& archive, const world::GameState& state);

}  // namespace zorblet::frame
