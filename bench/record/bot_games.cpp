#include "record/bot_games.h"

#include <cmath>
#include <string_view>

#include "frame/function_keys.h"
#include "frame/game.h"
#include "frame/mode.h"
#include "frame/play.h"
#include "frame/play_bot.h"
#include "platform/random.h"
#include "world/bumper_ring_gate.h"
#include "world/tick.h"

namespace zorblet::bench {

namespace {

// Seeded numbers, no tones, pop-ups ten pixels a character.
class QuietServices final : public world::Services {
public:
    explicit QuietServices(std::uint32_t seed) : random_(seed) {}
    std::int32_t RandomUpTo(std::int32_t n) override { return random_.UpTo(n); }
    void StartTone(sound::ToneEffect, std::int32_t) override {}
    std::int32_t PopupHalfWidth(std::string_view text) override { return static_cast<std::int32_t>(text.size()) * 5; }

private:
    platform::SeededRandom random_;
};

// The bot's mouse, noting what the frame read of it.
class NotedMouse final : public platform::Mouse {
public:
    explicit NotedMouse(SteeringBot& bot) : bot_(bot) {}
    platform::MouseReading Read() override { return Noted = bot_.Read(); }
    void Release() override {}
    platform::MouseReading Noted;

private:
    SteeringBot& bot_;
};

}  // namespace

record::GameRecord PlayBotGame(std::uint32_t seed, std::uint32_t maxFrames) {
    frame::Game game;
    QuietServices services(seed);
    world::StartWorld(game.Run.World, services);
    world::StartExtras(game.Run.World);
    SteeringBot bot;
    NotedMouse mouse(bot);

    record::GameRecord record;
    record.Seed = seed;
    record.End = record::GameEnd::Abandoned;
    frame::ApplyEffects(game, frame::PressNewGame(game.Run.Mode), mouse, services);
    bool over = false;
    for (std::uint32_t frame = 0; frame < maxFrames && !over; ++frame) {
        bot.Plan(game);
        mouse.Noted = {};
        frame::PlayFrame(game.Run, services, mouse, [&] { over = true; });
        if (frame::CountdownShown(game.Run.Mode)) frame::CountdownFrame(game.Run.Mode, services);
        record.Frames.push_back({.DeltaX = mouse.Noted.DeltaX,
                                 .DeltaY = mouse.Noted.DeltaY,
                                 .LeftButton = mouse.Noted.LeftButton,
                                 .F2Released = frame == 0});
    }
    if (over) {
        record.End = record::GameEnd::GameOver;
    } else {
        record.Frames.back().EscapeReleased = true;
    }
    record.Score = static_cast<std::int32_t>(std::nearbyint(game.Run.World.Score));
    return record;
}

}  // namespace zorblet::bench
