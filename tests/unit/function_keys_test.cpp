// The function keys: each acts on release, once, with its condition and effect, whether
// the program carries it out (ESC outside a game, F1, F3) or the game's rules (F2, F4, ESC
// in a game).

#include "frame/function_keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/frame_fakes.h"
#include "support/world_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

testing::RecordingTones tones;

// A game with this many lives, in its countdown or (countdown 0) in play.
void StartGame(Game& g, std::int32_t lives, std::int32_t countdown = world::CountdownStart) {
    g.Run.Play.Now = countdown > 0 ? world::Phase::GetReady : world::Phase::Playing;
    g.Run.Play.Lives = lives;
    g.Run.Play.Countdown = countdown;
}
// The name entry after a game, or one left open under a new game.
void OpenNameEntry(Game& g) {
    g.Run.Mode.NameEntryActive = true;
}

// The keys of one frame as the frame takes them: the program's, then the rules' step with
// the others, and what that calls for.
FrameOutcome KeysFrame(Game& game, testing::FakeDevices& devices) {
    const FunctionKeys keys = ReadFunctionKeys(game.Machine.Keys);
    if (HandleFunctionKeys(game, devices.Devices, keys) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    const world::FrameEvents events = world::StepGame(game.Run, RulesKeys(keys), 7, tones);
    return ApplyEffects(game, devices.Devices, EffectsOf(events));
}

// Holds the keys down for one frame, then lets them go for the next.
FrameOutcome TapKeys(Game& game, testing::FakeDevices& devices, std::initializer_list<int> keys) {
    platform::KeySnapshot snapshot{};
    for (int key : keys) snapshot[key] = true;
    game.Machine.Keys.Renew(snapshot);
    EXPECT_EQ(KeysFrame(game, devices), FrameOutcome::Continue) << "a held key does nothing yet";
    game.Machine.Keys.Renew(platform::KeySnapshot{});
    return KeysFrame(game, devices);
}

struct KeyCase {
    std::string Name;
    int Key;
    std::function<void(Game&)> Before;
    std::function<void(const Game&)> Expect;
    FrameOutcome Outcome;
    int MouseReleases;
    int SoundRemembered = -1;  // what the settings keep of the sound switch; -1: not touched
};

TEST(FunctionKeys, TableOfConditionsAndEffects) {
    const KeyCase cases[] = {
        {"ESC in the menu ends the program", Key::Escape, [](Game&) {}, [](const Game&) {}, FrameOutcome::EndProgram,
         0},
        {"ESC in the name entry cancels it", Key::Escape,
         [](Game& g) {
             OpenNameEntry(g);
             g.Screen.Table.TableScroll = 777;
             g.Screen.PlayerName = "Ann";
         },
         [](const Game& g) {
             EXPECT_FALSE(g.Run.Mode.NameEntryActive);
             EXPECT_EQ(g.Screen.Table.TableScroll, 10);
             EXPECT_EQ(g.Screen.PlayerName, "Ann");
         },
         FrameOutcome::Continue, 0},
        {"ESC in a game abandons it", Key::Escape,
         [](Game& g) {
             StartGame(g, 2, 0);
             g.Run.Play.Paused = true;  // so that the score stands still while the key is held
             g.Run.World.Score = 123.5f;
             g.Screen.Table.TableScroll = 777;
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Play.Lives, 0);
             EXPECT_EQ(g.Run.World.Score, 123.5f) << "the abandoned score stays on show";
             EXPECT_EQ(g.Screen.Table.TableScroll, 10);
             EXPECT_FALSE(g.Run.Mode.NameEntryActive) << "no name entry";
         },
         FrameOutcome::Continue, 1},
        {"ESC during a countdown with a name entry open abandons the game only", Key::Escape,
         [](Game& g) {
             StartGame(g, 3);
             OpenNameEntry(g);
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Play.Lives, 0);
             EXPECT_TRUE(g.Run.Mode.NameEntryActive);
         },
         FrameOutcome::Continue, 1},
        {"F4 pauses and frees the mouse", Key::F4, [](Game&) {}, [](const Game& g) { EXPECT_TRUE(g.Run.Play.Paused); },
         FrameOutcome::Continue, 1},
        {"F4 resumes and leaves the mouse", Key::F4, [](Game& g) { g.Run.Play.Paused = true; },
         [](const Game& g) { EXPECT_FALSE(g.Run.Play.Paused); }, FrameOutcome::Continue, 0},
        {"F1 shows the help", Key::F1, [](Game&) {}, [](const Game& g) { EXPECT_TRUE(g.Run.Mode.HelpShown); },
         FrameOutcome::Continue, 0},
        {"F1 hides the help", Key::F1, [](Game& g) { g.Run.Mode.HelpShown = true; },
         [](const Game& g) { EXPECT_FALSE(g.Run.Mode.HelpShown); }, FrameOutcome::Continue, 0},
        {"F3 switches the sound off", Key::F3, [](Game&) {}, [](const Game& g) { EXPECT_FALSE(g.Run.SoundOn); },
         FrameOutcome::Continue, 0, 0},
        {"F3 switches the sound on", Key::F3, [](Game& g) { g.Run.SoundOn = false; },
         [](const Game& g) { EXPECT_TRUE(g.Run.SoundOn); }, FrameOutcome::Continue, 0, 1},
        {"F2 starts a game from the menu, from its seed alone", Key::F2,
         [](Game& g) {
             g.Run.World.Score = 55.0f;
             g.Run.Play.Countdown = 0;
             g.Run.World.AnimAngle = 1234;
             g.Run.World.FireLatch = true;
             g.Run.World.BallTintRed = 150;
             g.Run.World.RingSize = 10.0f;
             g.Run.World.GatePostRadius = 5.0f, g.Run.World.GateHalfWidth = 30.0f;
             g.Run.World.BallX = 40.0f, g.Run.World.BallY = 400.0f, g.Run.World.BallVX = 3.0f,
             g.Run.World.BallVY = -1.0f;
             g.Run.World.PaddleX = 10, g.Run.World.PaddleY = 20;
             g.Run.World.TargetSize = 10.0f;
             g.Run.World.Shots.push_back({1, 2, 3, 4});
             g.Run.World.TrailRings.push_back({1, 2, 20, 1, 0});
             g.Run.World.Particles.push_back({});
             g.Run.World.Popups.push_back({"250", 1, 2, 3, 4});
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Play.Lives, 3);
             EXPECT_EQ(g.Run.Play.Countdown, 600) << "its first frame counts down already";
             EXPECT_EQ(g.Run.World.Score, 0.0f);
             EXPECT_TRUE(g.Run.World.BallX == 299.0f || g.Run.World.BallX == 301.0f) << g.Run.World.BallX;
             EXPECT_EQ(g.Run.World.BallY, 100.0f);
             EXPECT_EQ(g.Run.World.BallVX, 0.0f);
             EXPECT_EQ(g.Run.World.BallVY, 0.0f);
             EXPECT_EQ(g.Run.World.PaddleX, 300);
             EXPECT_EQ(g.Run.World.PaddleY, 500);
             EXPECT_EQ(g.Run.World.TargetSize, 0.0f);
             EXPECT_TRUE(g.Run.World.Shots.empty()) << "the shots are gone";
             EXPECT_EQ(g.Run.World.TrailRings.size() + g.Run.World.Particles.size() + g.Run.World.Popups.size(), 0u)
                 << "and what the demonstration left of rings, particles and pop-ups";
             EXPECT_EQ(g.Run.World.AnimAngle, 2) << "from 0, one frame on";
             EXPECT_FALSE(g.Run.World.FireLatch);
             EXPECT_EQ(g.Run.World.BallTintRed, 0);
             EXPECT_EQ(g.Run.World.RingSize, -800.0f);
             EXPECT_EQ(g.Run.World.GatePostRadius, -400.0f);
             EXPECT_EQ(g.Run.World.GateHalfWidth, 75.0f);
             EXPECT_EQ(g.Run.World.GameRandom.Seed(), 7u) << "the game's numbers from its seed";
         },
         FrameOutcome::Continue, 0},
        {"F2 restarts a running, paused game and keeps the flags", Key::F2,
         [](Game& g) {
             StartGame(g, 1, 0);
             g.Run.World.Score = 999.0f;
             g.Run.Play.Paused = true;
             g.Run.Mode.HelpShown = true;
             g.Run.SoundOn = false;
             OpenNameEntry(g);
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Play.Lives, 3);
             EXPECT_EQ(g.Run.Play.Countdown, 602) << "paused: no countdown";
             EXPECT_EQ(g.Run.World.Score, 0.0f);
             EXPECT_TRUE(g.Run.Play.Paused);
             EXPECT_TRUE(g.Run.Mode.HelpShown);
             EXPECT_FALSE(g.Run.SoundOn);
             EXPECT_TRUE(g.Run.Mode.NameEntryActive);
         },
         FrameOutcome::Continue, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Game game;
        testing::FakeDevices devices;
        c.Before(game);
        EXPECT_EQ(TapKeys(game, devices, {c.Key}), c.Outcome);
        c.Expect(game);
        EXPECT_EQ(devices.Mouse.Releases, c.MouseReleases);
        EXPECT_EQ(devices.Settings.SoundOn, c.SoundRemembered);
    }
}

TEST(FunctionKeys, KeyFiresOnceOnItsRelease) {
    Game game;
    testing::FakeDevices devices;
    platform::KeySnapshot held{};
    held[Key::F1] = true;
    for (int frame = 0; frame < 50; ++frame) {
        game.Machine.Keys.Renew(held);
        KeysFrame(game, devices);
    }
    EXPECT_FALSE(game.Run.Mode.HelpShown) << "nothing while held";
    game.Machine.Keys.Renew(platform::KeySnapshot{});
    KeysFrame(game, devices);
    EXPECT_TRUE(game.Run.Mode.HelpShown);
    KeysFrame(game, devices);
    KeysFrame(game, devices);
    EXPECT_TRUE(game.Run.Mode.HelpShown) << "fires only once per release";
}

TEST(FunctionKeys, KeysReleasedTogetherActInTheirOrder) {
    Game game;
    testing::FakeDevices devices;
    StartGame(game, 2, 0);
    // ESC abandons the game before F2 starts the next one.
    EXPECT_EQ(TapKeys(game, devices, {Key::F2, Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(game.Run.Play.Lives, 3);

    // In the menu ESC ends the program before F4 is looked at.
    Game menu;
    EXPECT_EQ(TapKeys(menu, devices, {Key::F4, Key::Escape}), FrameOutcome::EndProgram);
    EXPECT_FALSE(menu.Run.Play.Paused);
}

TEST(FunctionKeys, EscapeAbandonsTheGameThenEndsTheProgram) {
    Game game;
    testing::FakeDevices devices;
    StartGame(game, 3);
    EXPECT_EQ(TapKeys(game, devices, {Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(TapKeys(game, devices, {Key::Escape}), FrameOutcome::EndProgram);
}

TEST(SimulationActive, HoldsInTheMenuAndInPlayButNotInCountdownOrPause) {
    struct Case {
        world::Phase Now;
        bool Paused;
        bool Active;
    };
    const Case cases[] = {
        {world::Phase::NoGame, false, true},   {world::Phase::Playing, false, true},
        {world::Phase::GetReady, false, false}, {world::Phase::NoGame, true, false},
        {world::Phase::Playing, true, false},
    };
    for (const auto& c : cases) {
        const world::PlayState play{.Now = c.Now, .Paused = c.Paused, .Lives = 3, .Countdown = 2};
        EXPECT_EQ(world::SimulationActive(play), c.Active) << static_cast<int>(c.Now) << " " << c.Paused;
    }
}

}  // namespace
}  // namespace zorblet::frame
