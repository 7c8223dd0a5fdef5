// The function keys: each acts on release, once, with its condition and effect.

#include "frame/function_keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/frame_fakes.h"
#include "support/world_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

testing::FakeServices services;

// A game with this many lives, in its countdown or (countdown 0) in play.
void StartGame(Game& g, std::int32_t lives, std::int32_t countdown = CountdownStart) {
    g.Run.Mode.Now = countdown > 0 ? Phase::GetReady : Phase::Playing;
    g.Run.Mode.Lives = lives;
    g.Run.Mode.Countdown = countdown;
}
// The name entry after a game, or one left open under a new game.
void OpenNameEntry(Game& g) {
    if (InGame(g.Run.Mode)) {
        g.Run.Mode.NameEntryUnderGame = true;
    } else {
        g.Run.Mode.Now = Phase::NameEntry;
    }
}

// Holds the keys down for one frame's test, then lets them go for the next.
FrameOutcome TapKeys(Game& game, testing::FakeDevices& devices, std::initializer_list<int> keys) {
    platform::KeySnapshot snapshot{};
    for (int key : keys) snapshot[key] = true;
    game.Machine.Keys.Renew(snapshot);
    EXPECT_EQ(HandleFunctionKeys(game, devices.Devices, services), FrameOutcome::Continue)
        << "a held key does nothing yet";
    game.Machine.Keys.Renew(platform::KeySnapshot{});
    return HandleFunctionKeys(game, devices.Devices, services);
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
             EXPECT_EQ(NameEntryOpen(g.Run.Mode), false);
             EXPECT_EQ(g.Screen.Table.TableScroll, 10);
             EXPECT_EQ(g.Screen.PlayerName, "Ann");
         },
         FrameOutcome::Continue, 0},
        {"ESC in a game abandons it", Key::Escape,
         [](Game& g) {
             StartGame(g, 2, 0);
             g.Run.World.Score = 123.5f;
             g.Screen.Table.TableScroll = 777;
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Mode.Lives, 0);
             EXPECT_EQ(g.Run.World.Score, 123.5f) << "the abandoned score stays on show";
             EXPECT_EQ(g.Screen.Table.TableScroll, 10);
             EXPECT_EQ(NameEntryOpen(g.Run.Mode), false) << "no name entry";
         },
         FrameOutcome::Continue, 1},
        {"ESC during a countdown with a name entry open abandons the game only", Key::Escape,
         [](Game& g) {
             StartGame(g, 3);
             OpenNameEntry(g);
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Mode.Lives, 0);
             EXPECT_EQ(NameEntryOpen(g.Run.Mode), true);
         },
         FrameOutcome::Continue, 1},
        {"F4 pauses and frees the mouse", Key::F4, [](Game&) {}, [](const Game& g) { EXPECT_EQ(g.Run.Mode.Paused, 1); },
         FrameOutcome::Continue, 1},
        {"F4 resumes and leaves the mouse", Key::F4, [](Game& g) { g.Run.Mode.Paused = 1; },
         [](const Game& g) { EXPECT_EQ(g.Run.Mode.Paused, 0); }, FrameOutcome::Continue, 0},
        {"F1 shows the help", Key::F1, [](Game&) {}, [](const Game& g) { EXPECT_EQ(g.Run.Mode.HelpShown, 1); },
         FrameOutcome::Continue, 0},
        {"F1 hides the help", Key::F1, [](Game& g) { g.Run.Mode.HelpShown = 1; },
         [](const Game& g) { EXPECT_EQ(g.Run.Mode.HelpShown, 0); }, FrameOutcome::Continue, 0},
        {"F3 switches the sound off", Key::F3, [](Game&) {}, [](const Game& g) { EXPECT_FALSE(g.Run.SoundOn); },
         FrameOutcome::Continue, 0, 0},
        {"F3 switches the sound on", Key::F3, [](Game& g) { g.Run.SoundOn = false; },
         [](const Game& g) { EXPECT_TRUE(g.Run.SoundOn); }, FrameOutcome::Continue, 0, 1},
        {"F2 starts a game from the menu", Key::F2,
         [](Game& g) {
             g.Run.World.Score = 55.0f;
             g.Run.Mode.Countdown = 0;
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
             EXPECT_EQ(g.Run.Mode.Lives, 3);
             EXPECT_EQ(g.Run.Mode.Countdown, 602);
             EXPECT_EQ(g.Run.World.Score, 0.0f);
             EXPECT_TRUE(g.Run.World.BallX == 299.0f || g.Run.World.BallX == 301.0f) << g.Run.World.BallX;
             EXPECT_EQ(g.Run.World.BallY, 100.0f);
             EXPECT_EQ(g.Run.World.BallVX, 0.0f);
             EXPECT_EQ(g.Run.World.BallVY, 0.0f);
             EXPECT_EQ(g.Run.World.PaddleX, 300);
             EXPECT_EQ(g.Run.World.PaddleY, 500);
             EXPECT_EQ(g.Run.World.TargetSize, 0.0f);
             EXPECT_TRUE(g.Run.World.Shots.empty()) << "the shots are gone";
             EXPECT_EQ(g.Run.World.TrailRings.size() + g.Run.World.Particles.size() + g.Run.World.Popups.size(), 3u)
                 << "rings, particles and pop-ups run out by themselves";
         },
         FrameOutcome::Continue, 0},
        {"F2 restarts a running, paused game and keeps the flags", Key::F2,
         [](Game& g) {
             StartGame(g, 1, 0);
             g.Run.World.Score = 999.0f;
             g.Run.Mode.Paused = true;
             g.Run.Mode.HelpShown = true;
             g.Run.SoundOn = false;
             OpenNameEntry(g);
         },
         [](const Game& g) {
             EXPECT_EQ(g.Run.Mode.Lives, 3);
             EXPECT_EQ(g.Run.Mode.Countdown, 602);
             EXPECT_EQ(g.Run.World.Score, 0.0f);
             EXPECT_EQ(g.Run.Mode.Paused, 1);
             EXPECT_EQ(g.Run.Mode.HelpShown, 1);
             EXPECT_FALSE(g.Run.SoundOn);
             EXPECT_EQ(NameEntryOpen(g.Run.Mode), true);
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
        HandleFunctionKeys(game, devices.Devices, services);
    }
    EXPECT_EQ(game.Run.Mode.HelpShown, 0) << "nothing while held";
    game.Machine.Keys.Renew(platform::KeySnapshot{});
    HandleFunctionKeys(game, devices.Devices, services);
    EXPECT_EQ(game.Run.Mode.HelpShown, 1);
    HandleFunctionKeys(game, devices.Devices, services);
    HandleFunctionKeys(game, devices.Devices, services);
    EXPECT_EQ(game.Run.Mode.HelpShown, 1) << "fires only once per release";
}

TEST(FunctionKeys, KeysReleasedTogetherActInTheirOrder) {
    Game game;
    testing::FakeDevices devices;
    StartGame(game, 2, 0);
    // ESC abandons the game before F2 starts the next one.
    EXPECT_EQ(TapKeys(game, devices, {Key::F2, Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(game.Run.Mode.Lives, 3);

    // In the menu ESC ends the program before F4 is looked at.
    Game menu;
    EXPECT_EQ(TapKeys(menu, devices, {Key::F4, Key::Escape}), FrameOutcome::EndProgram);
    EXPECT_EQ(menu.Run.Mode.Paused, 0);
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
        std::int32_t Lives, Countdown, Paused;
        bool Active;
    };
    const Case cases[] = {
        {0, 602, 0, true}, {0, 0, 0, true},    {3, 0, 0, true},  {3, 602, 0, false},
        {3, 2, 0, false},  {0, 602, 1, false}, {3, 0, 1, false},
    };
    for (const auto& c : cases) {
        Game game;
        if (c.Lives > 0) StartGame(game, c.Lives, c.Countdown);
        game.Run.Mode.Countdown = c.Countdown, game.Run.Mode.Paused = c.Paused != 0;
        EXPECT_EQ(SimulationActive(game.Run.Mode), c.Active) << c.Lives << " " << c.Countdown << " " << c.Paused;
    }
}

}  // namespace
}  // namespace zorblet::frame
