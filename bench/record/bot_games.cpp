#include "record/bot_games.h"

#include "frame/game.h"
#include "frame/play_bot.h"
#include "record/recorder.h"
#include "replay/record_player.h"
#include "shared/game_math.h"
#include "world/rules.h"

namespace zorblet::bench {

namespace {

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

}  // namespace

record::GameRecord PlayBotGame(std::uint32_t seed, std::uint32_t maxFrames) {
    frame::Game game;
    SteeringBot bot;
    NoTones tones;
    record::Recorder recorder(maxFrames);
    recorder.StartGame(world::RulesVersion, seed);
    bool over = false;
    for (std::uint32_t frame = 0; frame < maxFrames && !over; ++frame) {
        // The first frame starts the game, the last one of a game still running abandons it.
        world::FrameInput input{.Mouse = {},
                                .F2Released = frame == 0,
                                .F4Released = false,
                                .EscReleased = frame + 1 == maxFrames && frame > 0};
        bot.Plan(game);
        if (world::SteersByMouse(game.Run, input)) {
            const platform::MouseReading reading = bot.Read();
            input.Mouse = {reading.DeltaX, reading.DeltaY, reading.LeftButton};
        }
        const world::PlayState before = game.Run.Play;
        over = world::StepGame(game.Run, input, seed, tones).GameOver;
        recorder.AddFrame(replay::RecordedInput(frame == 0 ? world::FirstRecordedFrame(before, input) : input));
    }
    return recorder.FinishGame(RoundToInt(game.Run.World.Score),
                               over ? record::GameEnd::GameOver : record::GameEnd::Abandoned);
}

}  // namespace zorblet::bench
