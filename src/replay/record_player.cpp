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

RecordVerdict VerifyRecord(std::span<const std::uint8_t> bytes) {
    RecordVerdict verdict;
    record::DecodeResult decoded = record::DecodeRecord(bytes);
    verdict.Decoding = decoded.Error;
    if (!decoded.Record) return verdict;
    verdict.Record = std::move(decoded.Record);
    verdict.Rules = CheckRules(*verdict.Record);
    if (verdict.Rules == RulesProblem::None) verdict.ReplayedScore = ReplayScore(*verdict.Record);
    return verdict;
}

}  // namespace zorblet::replay
