#pragma once
// A recorded game played again under the world's rules: from a state just started
// (GameState{}), each frame's input stepped in turn with the record's seed, as the game
// stepped it. The desktop's --replay draws it, --replay-info and the highscore service
// check its score with it, a browser build shows it; it needs nothing but the world and
// the record.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "record/game_record.h"
#include "record/record_format.h"
#include "world/rules.h"

namespace zorblet::replay {

// Rules version 1 seeds its random streams with 32 bits: a record of it holds a seed below
// this, and one with a larger seed is refused rather than cut short.
inline constexpr std::uint64_t SeedLimit = std::uint64_t{1} << 32;

// Why a record that reads well still cannot be replayed here.
enum class RulesProblem : std::uint8_t {
    None,
    OtherRules,      // played by another version of the world's rules
    SeedOutOfRange,  // a seed these rules cannot take
};

RulesProblem CheckRules(const record::GameRecord& game);

// A frame's input as the record keeps it, and back.
record::FrameInput RecordedInput(const world::FrameInput& input);
world::FrameInput WorldInput(const record::FrameInput& frame);

// What a replay makes of the world: all of it, for pictures and the state's hashes, or
// the game alone, without the decoration (trail rings, particles, pop-ups), for the score:
// nothing of the game depends on the decoration, and it is most of a busy frame's work.
enum class Replaying { Everything, GameAlone };

// Steps a record's frames one at a time. The record must pass CheckRules and outlive the
// player.
class RecordPlayer {
public:
    explicit RecordPlayer(const record::GameRecord& game, Replaying what = Replaying::Everything) : game_(&game) {
        state_.World.Decorated = what == Replaying::Everything;
    }

    // Steps the next frame, starting its tones through tones; does nothing once finished.
    world::FrameEvents Step(sound::ToneStarter& tones);

    bool Finished() const { return played_ == game_->Frames.size(); }
    // Frames stepped so far: the picture of frame N is the state after N frames.
    std::size_t FramesPlayed() const { return played_; }
    const world::GameState& State() const { return state_; }
    // The countdown's digit of the frame stepped last, -1 for none.
    std::int32_t CountdownDigit() const { return countdownDigit_; }
    // The whole points the game shows after the frame stepped last.
    std::int32_t ShownScore() const;

private:
    const record::GameRecord* game_;
    world::GameState state_;
    std::size_t played_ = 0;
    std::int32_t countdownDigit_ = -1;
};

// Steps every frame of the record, silently and without the decoration; the points the
// game shows after the last.
std::int32_t ReplayScore(const record::GameRecord& game);

// Whether a replay goes as the record of one game must: its first frame starts the game,
// no later frame starts another, and the game ends in the last frame, not before, the way
// the record says (a game over is the frame whose lost ball ended it; a game abandoned is
// the frame whose ESC ended it, or one still running at the record's end; a game left for
// a new one is still running). A record that claims a game over its replay does not reach
// is no record of that game, whatever its score.
enum class CourseProblem : std::uint8_t {
    None,
    NoGameStarted,  // the first frame starts no game, or there is no frame
    SecondGame,     // a later frame starts another game
    EndedEarly,     // the game ended before the last frame
    EndNotReached,  // after the last frame the game has not ended as the record says
};

// A short English name for logs and replies: "no-game-started", "second-game", ...
std::string_view CourseProblemName(CourseProblem problem);

// What a replay of a record's frames gave.
struct ReplayedGame {
    std::int32_t Score = 0;  // the points shown after the last frame stepped
    CourseProblem Course = CourseProblem::None;
    std::size_t FramesPlayed = 0;
};

// Replays the record (which must pass CheckRules) silently and without the decoration,
// checking its course; with stopAtProblem it stops at the first frame that breaks the
// course, which spares a checker the rest of a record it refuses anyway.
ReplayedGame ReplayGame(const record::GameRecord& game, bool stopAtProblem);

// What bytes that claim to be a record turn out to be.
struct RecordVerdict {
    record::DecodeError Decoding = record::DecodeError::None;
    RulesProblem Rules = RulesProblem::None;
    // Set when the bytes read as a record, whether its rules fit or not.
    std::optional<record::GameRecord> Record;
    // Set when the record was replayed: the points its inputs give under these rules.
    std::optional<std::int32_t> ReplayedScore;
    // When replayed: whether the game went as the record says it ended.
    CourseProblem Course = CourseProblem::None;

    // Replayed, and to the score the record claims.
    bool ScoreMatches() const { return Record && ReplayedScore && *ReplayedScore == Record->Score; }
};

// Reads the bytes as a record, checks that these rules can replay it, replays it and
// gives the points that follow from its inputs. The highscore service's check of a
// submitted game: a score counts only when ScoreMatches().
RecordVerdict VerifyRecord(std::span<const std::uint8_t> bytes);

}  // namespace zorblet::replay
