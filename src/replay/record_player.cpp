#include "replay/record_player.h"

#include "shared/game_math.h"

namespace zorblet::replay {

namespace {

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

}  // namespace

RulesProblem CheckRules(const record::GameRecord& game) {
    if (game.RulesVersion != world::RulesVersion) return RulesProblem::OtherRules;
    if (game.Seed >= SeedLimit) return RulesProblem::SeedOutOfRange;
    return RulesProblem::None;
}

record::FrameInput RecordedInput(const world::FrameInput& input) {
    return {.DeltaX = input.Mouse.DeltaX,
            .DeltaY = input.Mouse.DeltaY,
            .LeftButton = input.Mouse.LeftButton,
            .F2Released = input.F2Released,
            .F4Released = input.F4Released,
            .EscapeReleased = input.EscReleased};
}

world::FrameInput WorldInput(const record::FrameInput& frame) {
    return {.Mouse = {frame.DeltaX, frame.DeltaY, frame.LeftButton},
            .F2Released = frame.F2Released,
            .F4Released = frame.F4Released,
            .EscReleased = frame.EscapeReleased};
}

world::FrameEvents RecordPlayer::Step(sound::ToneStarter& tones) {
    if (Finished()) return {};
    const world::FrameInput input = WorldInput(game_->Frames[played_]);
    ++played_;
    const world::FrameEvents events = world::StepGame(state_, input, static_cast<std::uint32_t>(game_->Seed), tones);
    countdownDigit_ = events.CountdownDigit;
    return events;
}

std::int32_t RecordPlayer::ShownScore() const {
    return RoundToInt(state_.World.Score);
}

std::int32_t ReplayScore(const record::GameRecord& game) {
    NoTones tones;
    RecordPlayer player(game, Replaying::GameAlone);
    while (!player.Finished()) player.Step(tones);
    return player.ShownScore();
}

std::string_view CourseProblemName(CourseProblem problem) {
    switch (problem) {
        case CourseProblem::None:
            return "none";
        case CourseProblem::NoGameStarted:
            return "no-game-started";
        case CourseProblem::SecondGame:
            return "second-game";
        case CourseProblem::EndedEarly:
            return "ended-early";
        case CourseProblem::EndNotReached:
            break;
    }
    return "end-not-reached";
}

namespace {

// What a frame's events and the state after it say about the course, for the frame
// numbered `frame` of `count`.
CourseProblem JudgeFrame(const world::FrameEvents& events, const world::GameState& after, std::size_t frame,
                         std::size_t count, record::GameEnd end) {
    if (frame == 0 && !events.GameStarted) return CourseProblem::NoGameStarted;
    if (frame > 0 && events.GameStarted) return CourseProblem::SecondGame;
    const bool ended = events.GameOver || events.GameAbandoned;
    if (frame + 1 < count) return ended ? CourseProblem::EndedEarly : CourseProblem::None;
    const bool running = world::InGame(after.Play);
    switch (end) {
        case record::GameEnd::GameOver:
            return events.GameOver ? CourseProblem::None : CourseProblem::EndNotReached;
        case record::GameEnd::Abandoned:
            return events.GameAbandoned || running ? CourseProblem::None : CourseProblem::EndNotReached;
        case record::GameEnd::NewGame:
            break;
    }
    return running && !ended ? CourseProblem::None : CourseProblem::EndNotReached;
}

}  // namespace

ReplayedGame ReplayGame(const record::GameRecord& game, bool stopAtProblem) {
    NoTones tones;
    RecordPlayer player(game, Replaying::GameAlone);
    ReplayedGame replayed;
    if (game.Frames.empty()) replayed.Course = CourseProblem::NoGameStarted;
    while (!player.Finished() && !(stopAtProblem && replayed.Course != CourseProblem::None)) {
        const std::size_t frame = player.FramesPlayed();
        const world::FrameEvents events = player.Step(tones);
        const CourseProblem problem = JudgeFrame(events, player.State(), frame, game.Frames.size(), game.End);
        if (replayed.Course == CourseProblem::None) replayed.Course = problem;
    }
    replayed.Score = player.ShownScore();
    replayed.FramesPlayed = player.FramesPlayed();
    return replayed;
}

RecordVerdict VerifyRecord(std::span<const std::uint8_t> bytes) {
    RecordVerdict verdict;
    record::DecodeResult decoded = record::DecodeRecord(bytes);
    verdict.Decoding = decoded.Error;
    if (!decoded.Record) return verdict;
    verdict.Record = std::move(decoded.Record);
    verdict.Rules = CheckRules(*verdict.Record);
    if (verdict.Rules != RulesProblem::None) return verdict;
    const ReplayedGame replayed = ReplayGame(*verdict.Record, false);
    verdict.ReplayedScore = replayed.Score;
    verdict.Course = replayed.Course;
    return verdict;
}

}  // namespace zorblet::replay
