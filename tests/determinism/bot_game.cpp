#include "determinism/bot_game.h"

#include <algorithm>

#include "shared/game_math.h"
#include "support/steering_bot.h"
#include "world/ball_paddle.h"

namespace zorblet::testing {

namespace {

constexpr int DemonstrationFrames = 400;
constexpr int FrameLimit = 60'000;
constexpr int PauseAt = 2'500, PauseFrames = 150;  // frames of play
constexpr int RingFramesBeforeDrop = 1'200;

class SilentTones final : public sound::ToneStarter {
public:
    int Crackles = 0;
    int ShotClicks = 0;
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        Crackles += effect == sound::ToneEffect::Crackle;
        ShotClicks += effect == sound::ToneEffect::Click && argument == 670;
    }
};

class Bot {
public:
    // This frame's keys and the mouse motion it would make, from the state it sees.
    world::FrameInput Plan(const world::GameState& state, int frame);
    bool Dropping() const { return dropping_; }
    void Note(const world::GameState& state, BotTally& tally);

private:
    world::MouseState Steer(const world::World& w);

    int played_ = 0;  // frames in which the player steered
    bool pauseDone_ = false;
    bool gateSeen_ = false, gateGone_ = false, ringSeen_ = false;
    int ringFrames_ = 0;
    int standing_ = 0;  // bumpers standing in a live ring
    bool dropping_ = false;
};

void Bot::Note(const world::GameState& state, BotTally& tally) {
    const world::World& w = state.World;
    if (w.GatePostRadius == world::GateLiveRadius && !gateSeen_) ++tally.GatesLive, gateSeen_ = true;
    if (gateSeen_ && w.GatePostRadius < 0.0f) gateGone_ = true;
    const int standing = static_cast<int>(std::count(w.RingFlags.begin() + 1, w.RingFlags.end(), true));
    if (w.RingSize == world::RingLiveSize) {
        if (!ringSeen_) ++tally.RingsLive;
        ringSeen_ = true;
        ++ringFrames_;
        tally.BumpersHit += std::max(0, standing_ - standing);
    } else if (w.RingSize == world::RingWaitAtStart && standing_ > 0) {
        tally.BumpersHit += standing_;  // the last one knocked out sends the ring away
    }
    standing_ = w.RingSize == world::RingLiveSize ? standing : 0;
}

world::MouseState Bot::Steer(const world::World& w) {
    return SteerTowardsExtras(w, ++played_, dropping_);
}

world::FrameInput Bot::Plan(const world::GameState& state, int frame) {
    world::FrameInput input;
    if (frame == DemonstrationFrames) input.F2Released = true;
    const world::PlayState& play = state.Play;
    if (world::InGame(play)) {
        // A pause in the middle of play, and the balls let fall: the first after the gate
        // has come and gone, the second once the ring has stood a while or been cleared,
        // the last at once.
        if (!pauseDone_ && played_ >= PauseAt) input.F4Released = true, pauseDone_ = true;
        if (play.Lives == 3) dropping_ = gateGone_;
        if (play.Lives == 2) dropping_ = ringSeen_ && (ringFrames_ > RingFramesBeforeDrop || state.World.RingSize < 0.0f);
        if (play.Lives == 1) dropping_ = true;
    }
    if (world::SteersByMouse(state, input)) input.Mouse = Steer(state.World);
    return input;
}

}  // namespace

RecordedGame PlayBotGame(const BotOptions& options, BotTally& tally) {
    world::GameState state;
    world::StartDemonstration(state, options.DemonstrationSeed);
    SilentTones tones;
    Bot bot;
    RecordedGame game{.Seed = options.GameSeed, .Frames = {}};
    bool recording = false;
    int pauseLeft = 0;
    for (int frame = 0; frame < FrameLimit; ++frame) {
        world::FrameInput input = bot.Plan(state, frame);
        if (options.StartPaused && frame == DemonstrationFrames - 1) input.F4Released = true;
        // The pause in the middle of play lasts its frames, then F4 again.
        if (pauseLeft > 0 && --pauseLeft == 0) input.F4Released = true;
        const world::PlayState before = state.Play;
        const std::int32_t livesBefore = before.Lives;
        const world::FrameEvents events = world::StepGame(state, input, options.GameSeed, tones);
        if (events.GameStarted) {
            recording = true;
            input = world::FirstRecordedFrame(before, input);
            if (options.StartPaused) pauseLeft = 60;
        }
        if (events.PauseBegan && recording && !events.GameStarted) pauseLeft = PauseFrames;
        if (recording) game.Frames.push_back(input);
        if (recording && state.Play.Lives < livesBefore && !events.GameStarted) ++tally.LostBalls;
        bot.Note(state, tally);
        if (events.GameOver) {
            tally.GameOver = true;
            break;
        }
    }
    tally.FinalScore = RoundToInt(state.World.Score);
    tally.Shots = tones.ShotClicks;
    tally.Crackles = tones.Crackles;  // a target hit, a bumper, a gate's end
    return game;
}

}  // namespace zorblet::testing
