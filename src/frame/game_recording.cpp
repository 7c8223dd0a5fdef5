#include "frame/game_recording.h"

#include "replay/record_player.h"
#include "shared/game_math.h"

namespace zorblet::frame {

namespace {

void HandOver(record::Recorder& recorder, platform::GameArchive& archive, std::int32_t score, record::GameEnd end) {
    archive.KeepGame(recorder.FinishGame(score, end));
}

std::int32_t ShownScore(const world::GameState& state) {
    return RoundToInt(state.World.Score);
}

}  // namespace

void RecordStep(record::Recorder& recorder, platform::GameArchive& archive, const world::GameState& after,
                const RecordedStep& step) {
    if (step.Events.GameStarted) {
        // F2 in a game ends it where the frame before left it.
        if (recorder.Recording()) HandOver(recorder, archive, step.ScoreShownBefore, record::GameEnd::NewGame);
        recorder.StartGame(world::RulesVersion, step.NewGameSeed);
        recorder.AddFrame(replay::RecordedInput(world::FirstRecordedFrame(step.PlayBefore, step.Input)));
        return;
    }
    if (!recorder.Recording()) return;
    // A game of more than three hours is kept up to that length.
    if (!recorder.AddFrame(replay::RecordedInput(step.Input))) {
        HandOver(recorder, archive, step.ScoreShownBefore, record::GameEnd::Abandoned);
        return;
    }
    if (step.Events.GameOver) {
        HandOver(recorder, archive, ShownScore(after), record::GameEnd::GameOver);
    } else if (step.Events.GameAbandoned) {
        HandOver(recorder, archive, ShownScore(after), record::GameEnd::Abandoned);
    }
}

void KeepUnfinishedGame(record::Recorder& recorder, platform::GameArchive& archive, const world::GameState& state) {
    if (recorder.Recording()) HandOver(recorder, archive, ShownScore(state), record::GameEnd::Abandoned);
}

}  // namespace zorblet::frame
