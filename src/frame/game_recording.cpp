#include "frame/game_recording.h"

#include "replay/record_player.h"
#include "shared/game_math.h"

namespace zorblet::frame {

namespace {

std::shared_ptr<const record::GameRecord> HandOver(record::Recorder& recorder, platform::GameArchive& archive,
                                                   std::int32_t score, record::GameEnd end) {
    auto game = std::make_shared<const record::GameRecord>(recorder.FinishGame(score, end));
    archive.KeepGame(game);
    return game;
}

std::int32_t ShownScore(const world::GameState& state) {
    return RoundToInt(state.World.Score);
}

}  // namespace

std::shared_ptr<const record::GameRecord> RecordStep(record::Recorder& recorder, platform::GameArchive& archive,
                                                     const world::GameState& after, const RecordedStep& step) {
    if (step.Events.GameStarted) {
        // F2 in a game ends it where the frame before left it.
        if (recorder.Recording()) HandOver(recorder, archive, step.ScoreShownBefore, record::GameEnd::NewGame);
        recorder.StartGame(world::RulesVersion, step.NewGameSeed,
                           std::vector<std::uint8_t>(step.NewGameTicket.begin(), step.NewGameTicket.end()));
        recorder.AddFrame(replay::RecordedInput(world::FirstRecordedFrame(step.PlayBefore, step.Input)));
        return nullptr;
    }
    if (!recorder.Recording()) return nullptr;
    // A game of more than three hours is kept up to that length.
    if (!recorder.AddFrame(replay::RecordedInput(step.Input))) {
        HandOver(recorder, archive, step.ScoreShownBefore, record::GameEnd::Abandoned);
        return nullptr;
    }
    if (step.Events.GameOver) return HandOver(recorder, archive, ShownScore(after), record::GameEnd::GameOver);
    if (step.Events.GameAbandoned) HandOver(recorder, archive, ShownScore(after), record::GameEnd::Abandoned);
    return nullptr;
}

void KeepUnfinishedGame(record::Recorder& recorder, platform::GameArchive& archive, const world::GameState& state) {
    if (recorder.Recording()) HandOver(recorder, archive, ShownScore(state), record::GameEnd::Abandoned);
}

}  // namespace zorblet::frame
