// The bot's long games, replayed from their records on the game's rules alone: the same
// state, frame by frame, and the same score in every build (debug, release, the
// sanitizers', clang's). The fixture keeps for each game its seed, its length, a digest of
// its input, a running hash of the game's and the decoration's state every 1,000 frames,
// and the final score: a build that computes one bit differently fails at the checkpoint
// after it. ZORBLET_DETERMINISM_RECORD=1 plays the games anew and writes the fixture;
// review the difference before committing it.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "determinism/bot_game.h"
#include "world/rules.h"
#include "world/state_hash.h"

namespace zorblet::testing {
namespace {

const std::string FixturePath = std::string(ZORBLET_DETERMINISM_DIR) + "/bot_games.txt";
constexpr std::size_t CheckpointFrames = 1000;

// Three games: two seeds from the menu, one begun while paused.
const BotOptions Games[] = {
    {.DemonstrationSeed = 11, .GameSeed = 20261211, .StartPaused = false},
    {.DemonstrationSeed = 12, .GameSeed = 3141592653u, .StartPaused = false},
    {.DemonstrationSeed = 13, .GameSeed = 7, .StartPaused = true},
};

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

std::uint64_t Mix(std::uint64_t running, std::uint64_t value) {
    return (running ^ value) * 0x100000001b3ull + (running >> 29);
}

std::uint64_t InputDigest(const RecordedGame& game) {
    std::uint64_t digest = Mix(0xcbf29ce484222325ull, game.Seed);
    for (const world::FrameInput& f : game.Frames) {
        digest = Mix(digest, static_cast<std::uint32_t>(f.Mouse.DeltaX));
        digest = Mix(digest, static_cast<std::uint32_t>(f.Mouse.DeltaY));
        digest = Mix(digest, (f.Mouse.LeftButton ? 1u : 0u) | (f.F2Released ? 2u : 0u) | (f.F4Released ? 4u : 0u) |
                                 (f.EscReleased ? 8u : 0u));
    }
    return digest;
}

struct Replayed {
    std::vector<std::uint64_t> GameHashes, DecorationHashes;
    std::vector<std::uint64_t> Checkpoints;  // the running hash after every 1,000 frames and after the last
    std::int32_t FinalScore = 0;
    bool GameOver = false;
};

// Replays the record from a program just started, as the service and the viewer will.
Replayed Replay(const RecordedGame& game, const std::function<void(world::GameState&, std::size_t)>& meddle = {}) {
    world::GameState state;
    NoTones tones;
    Replayed out;
    std::uint64_t running = 0;
    for (std::size_t i = 0; i < game.Frames.size(); ++i) {
        const world::FrameEvents events = world::StepGame(state, game.Frames[i], game.Seed, tones);
        if (meddle) meddle(state, i);
        out.GameHashes.push_back(world::GameHash(state));
        out.DecorationHashes.push_back(world::DecorationHash(state.World));
        running = Mix(Mix(running, out.GameHashes.back()), out.DecorationHashes.back());
        if ((i + 1) % CheckpointFrames == 0 || i + 1 == game.Frames.size()) out.Checkpoints.push_back(running);
        out.GameOver = events.GameOver;
    }
    out.FinalScore = static_cast<std::int32_t>(state.World.Score);
    return out;
}

struct FixtureGame {
    std::uint32_t Seed = 0;
    std::size_t Frames = 0;
    std::uint64_t InputDigest = 0;
    std::int32_t FinalScore = 0;
    std::vector<std::uint64_t> Checkpoints;
};

std::vector<FixtureGame> ReadFixture() {
    std::ifstream file(FixturePath);
    EXPECT_TRUE(file) << FixturePath;
    std::vector<FixtureGame> games;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "game") {
            FixtureGame g;
            fields >> g.Seed >> g.Frames >> std::hex >> g.InputDigest >> std::dec >> g.FinalScore;
            games.push_back(g);
        } else if (kind == "check" && !games.empty()) {
            std::uint64_t hash = 0;
            fields >> std::hex >> hash;
            games.back().Checkpoints.push_back(hash);
        }
    }
    return games;
}

void WriteFixture(const std::vector<FixtureGame>& games) {
    std::ofstream file(FixturePath);
    file << "# The bot's games (tests/determinism): game SEED FRAMES INPUT-DIGEST FINAL-SCORE, then the\n"
            "# running hash of the game's and the decoration's state after every 1000 frames and the last.\n";
    for (const FixtureGame& g : games) {
        char line[128];
        std::snprintf(line, sizeof line, "game %" PRIu32 " %zu %016" PRIx64 " %" PRId32 "\n", g.Seed, g.Frames,
                      g.InputDigest, g.FinalScore);
        file << line;
        for (std::uint64_t hash : g.Checkpoints) {
            std::snprintf(line, sizeof line, "check %016" PRIx64 "\n", hash);
            file << line;
        }
    }
}

TEST(Determinism, BotGamesReplayFromTheirRecordsToTheSameStatesInEveryBuild) {
    std::vector<FixtureGame> played;
    for (const BotOptions& options : Games) {
        SCOPED_TRACE("game seed " + std::to_string(options.GameSeed));
        BotTally tally;
        const RecordedGame game = PlayBotGame(options, tally);
        std::printf("game %u: %zu frames, gates %d, rings %d, bumpers hit %d, crackles %d, shots %d, score %d\n",
                    static_cast<unsigned>(options.GameSeed), game.Frames.size(), tally.GatesLive, tally.RingsLive,
                    tally.BumpersHit, tally.Crackles, tally.Shots, static_cast<int>(tally.FinalScore));
        // What the game must go through, so that a new bot cannot quietly skip it.
        EXPECT_TRUE(tally.GameOver);
        EXPECT_EQ(tally.LostBalls, 3);
        EXPECT_GE(tally.GatesLive, 1);
        EXPECT_GE(tally.RingsLive, 1);
        EXPECT_GE(tally.BumpersHit, 1);
        EXPECT_GE(tally.Shots, 20);
        EXPECT_GT(tally.Crackles, tally.BumpersHit) << "a target hit or a gate's end besides";
        EXPECT_GT(game.Frames.size(), 9000u);
        ASSERT_TRUE(game.Frames.front().F2Released);

        const Replayed replayed = Replay(game);
        EXPECT_TRUE(replayed.GameOver) << "the record ends with the game";
        EXPECT_EQ(replayed.FinalScore, tally.FinalScore) << "the replay scores what the game scored";
        played.push_back({game.Seed, game.Frames.size(), InputDigest(game), replayed.FinalScore, replayed.Checkpoints});
    }
    if (std::getenv("ZORBLET_DETERMINISM_RECORD") != nullptr) WriteFixture(played);
    const std::vector<FixtureGame> expected = ReadFixture();
    ASSERT_EQ(expected.size(), played.size());
    for (std::size_t g = 0; g < played.size(); ++g) {
        SCOPED_TRACE("game seed " + std::to_string(played[g].Seed));
        EXPECT_EQ(played[g].Seed, expected[g].Seed);
        EXPECT_EQ(played[g].Frames, expected[g].Frames) << "the bot played a game of another length";
        EXPECT_EQ(played[g].InputDigest, expected[g].InputDigest) << "the bot's input differs";
        EXPECT_EQ(played[g].FinalScore, expected[g].FinalScore);
        ASSERT_EQ(played[g].Checkpoints.size(), expected[g].Checkpoints.size());
        for (std::size_t c = 0; c < played[g].Checkpoints.size(); ++c) {
            ASSERT_EQ(played[g].Checkpoints[c], expected[g].Checkpoints[c])
                << "the state first differs within frames " << c * CheckpointFrames << " to "
                << (c + 1) * CheckpointFrames;
        }
    }
}

// A record replays to the same states as the game played live, frame for frame, also when
// the game began paused (the pause rides on the first frame's F4), and the decoration's
// numbers never move the game: a burst of particles more changes what is seen only.
TEST(Determinism, ReplayMatchesTheLiveGameAndDecorationNeverMovesIt) {
    BotTally tally;
    const RecordedGame game = PlayBotGame(Games[2], tally);
    const Replayed plain = Replay(game);
    EXPECT_TRUE(game.Frames.front().F4Released) << "begun while paused";

    // The same record with 250 particles added in its first frame: no contact burst
    // adds to them for a while, so the decoration's numbers take another course.
    const Replayed crowded = Replay(game, [](world::GameState& state, std::size_t frame) {
        if (frame == 0) state.World.Particles.resize(state.World.Particles.size() + 250, world::Particle{.Y = 300});
    });
    EXPECT_EQ(crowded.GameHashes, plain.GameHashes) << "the game goes exactly as before";
    EXPECT_NE(crowded.DecorationHashes, plain.DecorationHashes);
    EXPECT_EQ(crowded.FinalScore, plain.FinalScore);
}

// Where the player does not steer, the frame's mouse reading does not reach the world, so
// a record may hold anything there: the rules look at it only when the paddle follows it.
TEST(Determinism, MouseCountsOnlyWhereThePlayerSteers) {
    BotTally tally;
    const RecordedGame game = PlayBotGame(Games[0], tally);
    world::GameState state;
    NoTones tones;
    int notSteering = 0;
    for (const world::FrameInput& input : game.Frames) {
        if (!world::SteersByMouse(state, input)) {
            ++notSteering;
            world::GameState other = state;
            world::FrameInput wild = input;
            wild.Mouse = {37, -23, !input.Mouse.LeftButton};
            world::StepGame(other, wild, game.Seed, tones);
            world::StepGame(state, input, game.Seed, tones);
            ASSERT_EQ(world::GameHash(other), world::GameHash(state)) << "frame " << notSteering;
            ASSERT_EQ(input.Mouse.DeltaX, 0) << "the bot reads nothing there";
        } else {
            world::StepGame(state, input, game.Seed, tones);
        }
    }
    EXPECT_GT(notSteering, 3 * 301) << "three countdowns and a pause";
}

}  // namespace
}  // namespace zorblet::testing
