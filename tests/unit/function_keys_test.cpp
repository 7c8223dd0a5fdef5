// The function keys: each acts on release, once, with its condition and effect.

#include "frame/function_keys.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/fakes.h"
#include "support/world_fakes.h"

namespace zorblet::frame {
namespace {

namespace Key = platform::Key;

testing::FakeServices services;

// Holds the keys down for one frame's test, then lets them go for the next.
FrameOutcome TapKeys(Game& game, testing::RecordingMouse& mouse, std::initializer_list<int> keys) {
    platform::KeySnapshot snapshot{};
    for (int key : keys) snapshot[key] = true;
    game.Keys.Renew(snapshot);
    EXPECT_EQ(HandleFunctionKeys(game, mouse, services), FrameOutcome::Continue) << "a held key does nothing yet";
    game.Keys.Renew(platform::KeySnapshot{});
    return HandleFunctionKeys(game, mouse, services);
}

struct KeyCase {
    std::string Name;
    int Key;
    std::function<void(Game&)> Before;
    std::function<void(const Game&)> Expect;
    FrameOutcome Outcome;
    int MouseReleases;
};

TEST(FunctionKeys, TableOfConditionsAndEffects) {
    const KeyCase cases[] = {
        {"ESC in the menu ends the program", Key::Escape, [](Game&) {}, [](const Game&) {}, FrameOutcome::EndProgram,
         0},
        {"ESC in the name entry cancels it", Key::Escape,
         [](Game& g) {
             g.NameEntryActive = 1;
             g.Table.TableScroll = 777;
             g.PlayerName = "Ann";
         },
         [](const Game& g) {
             EXPECT_EQ(g.NameEntryActive, 0);
             EXPECT_EQ(g.Table.TableScroll, 10);
             EXPECT_EQ(g.PlayerName, "Ann");
         },
         FrameOutcome::Continue, 0},
        {"ESC in a game abandons it", Key::Escape,
         [](Game& g) {
             g.Lives = 2;
             g.Score = 123.5f;
             g.Countdown = 0;
             g.Table.TableScroll = 777;
         },
         [](const Game& g) {
             EXPECT_EQ(g.Lives, 0);
             EXPECT_EQ(g.Score, 123.5f) << "the abandoned score stays on show";
             EXPECT_EQ(g.Table.TableScroll, 10);
             EXPECT_EQ(g.NameEntryActive, 0) << "no name entry";
         },
         FrameOutcome::Continue, 1},
        {"ESC during a countdown with a name entry open abandons the game only", Key::Escape,
         [](Game& g) {
             g.Lives = 3;
             g.NameEntryActive = 1;
         },
         [](const Game& g) {
             EXPECT_EQ(g.Lives, 0);
             EXPECT_EQ(g.NameEntryActive, 1);
         },
         FrameOutcome::Continue, 1},
        {"F4 pauses and frees the mouse", Key::F4, [](Game&) {}, [](const Game& g) { EXPECT_EQ(g.Paused, 1); },
         FrameOutcome::Continue, 1},
        {"F4 resumes and leaves the mouse", Key::F4, [](Game& g) { g.Paused = 1; },
         [](const Game& g) { EXPECT_EQ(g.Paused, 0); }, FrameOutcome::Continue, 0},
        {"F1 shows the help", Key::F1, [](Game&) {}, [](const Game& g) { EXPECT_EQ(g.HelpShown, 1); },
         FrameOutcome::Continue, 0},
        {"F1 hides the help", Key::F1, [](Game& g) { g.HelpShown = 1; },
         [](const Game& g) { EXPECT_EQ(g.HelpShown, 0); }, FrameOutcome::Continue, 0},
        {"F3 switches the sound off", Key::F3, [](Game&) {}, [](const Game& g) { EXPECT_EQ(g.SoundOn, 0); },
         FrameOutcome::Continue, 0},
        {"F3 switches the sound on", Key::F3, [](Game& g) { g.SoundOn = 0; },
         [](const Game& g) { EXPECT_EQ(g.SoundOn, 1); }, FrameOutcome::Continue, 0},
        {"F2 starts a game from the menu", Key::F2,
         [](Game& g) {
             g.Score = 55.0f;
             g.Countdown = 0;
             g.BallX = 40.0f, g.BallY = 400.0f, g.BallVX = 3.0f, g.BallVY = -1.0f;
             g.PaddleX = 10, g.PaddleY = 20;
             g.TargetSize = 10.0f;
             g.Shots.push_back({1, 2, 3, 4});
             g.TrailRings.push_back({1, 2, 20, 1, 0});
             g.Particles.push_back({});
             g.Popups.push_back({"250", 1, 2, 3, 4});
         },
         [](const Game& g) {
             EXPECT_EQ(g.Lives, 3);
             EXPECT_EQ(g.Countdown, 602);
             EXPECT_EQ(g.Score, 0.0f);
             EXPECT_TRUE(g.BallX == 299.0f || g.BallX == 301.0f) << g.BallX;
             EXPECT_EQ(g.BallY, 100.0f);
             EXPECT_EQ(g.BallVX, 0.0f);
             EXPECT_EQ(g.BallVY, 0.0f);
             EXPECT_EQ(g.PaddleX, 300);
             EXPECT_EQ(g.PaddleY, 500);
             EXPECT_EQ(g.TargetSize, 0.0f);
             EXPECT_TRUE(g.Shots.empty()) << "the shots are gone";
             EXPECT_EQ(g.TrailRings.size() + g.Particles.size() + g.Popups.size(), 3u)
                 << "rings, particles and pop-ups run out by themselves";
         },
         FrameOutcome::Continue, 0},
        {"F2 restarts a running, paused game and keeps the flags", Key::F2,
         [](Game& g) {
             g.Lives = 1;
             g.Countdown = 0;
             g.Score = 999.0f;
             g.Paused = 1;
             g.HelpShown = 1;
             g.SoundOn = 0;
             g.NameEntryActive = 1;
         },
         [](const Game& g) {
             EXPECT_EQ(g.Lives, 3);
             EXPECT_EQ(g.Countdown, 602);
             EXPECT_EQ(g.Score, 0.0f);
             EXPECT_EQ(g.Paused, 1);
             EXPECT_EQ(g.HelpShown, 1);
             EXPECT_EQ(g.SoundOn, 0);
             EXPECT_EQ(g.NameEntryActive, 1);
         },
         FrameOutcome::Continue, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Game game;
        testing::RecordingMouse mouse;
        c.Before(game);
        EXPECT_EQ(TapKeys(game, mouse, {c.Key}), c.Outcome);
        c.Expect(game);
        EXPECT_EQ(mouse.Releases, c.MouseReleases);
    }
}

TEST(FunctionKeys, KeyFiresOnceOnItsRelease) {
    Game game;
    testing::RecordingMouse mouse;
    platform::KeySnapshot held{};
    held[Key::F1] = true;
    for (int frame = 0; frame < 50; ++frame) {
        game.Keys.Renew(held);
        HandleFunctionKeys(game, mouse, services);
    }
    EXPECT_EQ(game.HelpShown, 0) << "nothing while held";
    game.Keys.Renew(platform::KeySnapshot{});
    HandleFunctionKeys(game, mouse, services);
    EXPECT_EQ(game.HelpShown, 1);
    HandleFunctionKeys(game, mouse, services);
    HandleFunctionKeys(game, mouse, services);
    EXPECT_EQ(game.HelpShown, 1) << "fires only once per release";
}

TEST(FunctionKeys, KeysReleasedTogetherActInTheirOrder) {
    Game game;
    testing::RecordingMouse mouse;
    game.Lives = 2;
    // ESC abandons the game before F2 starts the next one.
    EXPECT_EQ(TapKeys(game, mouse, {Key::F2, Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(game.Lives, 3);

    // In the menu ESC ends the program before F4 is looked at.
    Game menu;
    EXPECT_EQ(TapKeys(menu, mouse, {Key::F4, Key::Escape}), FrameOutcome::EndProgram);
    EXPECT_EQ(menu.Paused, 0);
}

TEST(FunctionKeys, EscapeAbandonsTheGameThenEndsTheProgram) {
    Game game;
    testing::RecordingMouse mouse;
    game.Lives = 3;
    EXPECT_EQ(TapKeys(game, mouse, {Key::Escape}), FrameOutcome::Continue);
    EXPECT_EQ(TapKeys(game, mouse, {Key::Escape}), FrameOutcome::EndProgram);
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
        game.Lives = c.Lives, game.Countdown = c.Countdown, game.Paused = c.Paused;
        EXPECT_EQ(SimulationActive(game), c.Active) << c.Lives << " " << c.Countdown << " " << c.Paused;
    }
}

}  // namespace
}  // namespace zorblet::frame
