// Recorded games replayed from their files on the game's rules alone: the same state,
// frame by frame, and the same score in every build (debug, release, the sanitizers',
// clang's). The records are files in tests/fixtures/determinism: the bot's three long games
// (through the gate, the ring, shots, a pause, a start while paused and three lost balls)
// and the two games of the replay test, as the game's own recorder wrote them through the
// real frame loop. records.txt keeps for each its length, its score and a running hash of
// the game's and the decoration's state every 1,000 frames and after the last: a build
// that computes one bit differently fails at the checkpoint after it.
// ZORBLET_DETERMINISM_RECORD=1 plays the bot's games anew, writes their records and
// records.txt; the replay test writes its own records (ZORBLET_REPLAY_RECORD=1). Review
// the difference before committing it.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "determinism/bot_game.h"
#include "record/record_format.h"
#include "replay/record_player.h"
#include "shared/game_math.h"
#include "world/rules.h"
#include "world/state_hash.h"

namespace zorblet::testing {
namespace {

const std::string FixtureDir = ZORBLET_DETERMINISM_DIR;
const std::string HashesPath = FixtureDir + "/records.txt";
constexpr std::size_t CheckpointFrames = 1000;

// Three games: two seeds from the menu, one begun while paused.
const BotOptions Games[] = {
    {.DemonstrationSeed = 11, .GameSeed = 20261211, .StartPaused = false},
    {.DemonstrationSeed = 12, .GameSeed = 3141592653u, .StartPaused = false},
    {.DemonstrationSeed = 13, .GameSeed = 7, .StartPaused = true},
};

std::string BotRecordName(const BotOptions& options) {
    return "bot-" + std::to_string(options.GameSeed) + ".zrec";
}

// The replay test's game played to its game over, and the one abandoned in its countdown.
const char* const ReplayTestRecords[] = {"replay-test-1.zrec", "replay-test-2.zrec"};

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

std::uint64_t Mix(std::uint64_t running, std::uint64_t value) {
    return (running ^ value) * 0x100000001b3ull + (running >> 29);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

record::GameRecord AsRecord(const RecordedGame& game, std::int32_t score) {
    record::GameRecord out{.RulesVersion = world::RulesVersion, .Seed = game.Seed, .Score = score};
    for (const world::FrameInput& input : game.Frames) out.Frames.push_back(replay::RecordedInput(input));
    return out;
}

struct Replayed {
    std::vector<std::uint64_t> GameHashes, DecorationHashes;
    std::vector<std::uint64_t> Checkpoints;  // the running hash after every 1,000 frames and after the last
    std::int32_t FinalScore = 0;
    bool GameOver = false;
};

void NoteState(Replayed& out, std::uint64_t& running, const world::GameState& state, std::size_t frame,
               std::size_t frames) {
    out.GameHashes.push_back(world::GameHash(state));
    out.DecorationHashes.push_back(world::DecorationHash(state.World));
    running = Mix(Mix(running, out.GameHashes.back()), out.DecorationHashes.back());
    if ((frame + 1) % CheckpointFrames == 0 || frame + 1 == frames) out.Checkpoints.push_back(running);
}

// Replays the record with the replay library, from a program just started, as the window,
// the service and the viewer do.
Replayed Replay(const record::GameRecord& game) {
    NoTones tones;
    replay::RecordPlayer player(game);
    Replayed out;
    std::uint64_t running = 0;
    while (!player.Finished()) {
        out.GameOver = player.Step(tones).GameOver;
        NoteState(out, running, player.State(), player.FramesPlayed() - 1, game.Frames.size());
    }
    out.FinalScore = player.ShownScore();
    return out;
}

// The same with the rules' step called directly, and a hand in the state after each frame.
Replayed ReplayMeddled(const record::GameRecord& game,
                       const std::function<void(world::GameState&, std::size_t)>& meddle) {
    world::GameState state;
    NoTones tones;
    Replayed out;
    std::uint64_t running = 0;
    for (std::size_t i = 0; i < game.Frames.size(); ++i) {
        const world::FrameEvents events =
            world::StepGame(state, replay::WorldInput(game.Frames[i]), static_cast<std::uint32_t>(game.Seed), tones);
        meddle(state, i);
        NoteState(out, running, state, i, game.Frames.size());
        out.GameOver = events.GameOver;
    }
    out.FinalScore = RoundToInt(state.World.Score);
    return out;
}

struct ExpectedReplay {
    std::size_t Frames = 0;
    std::int32_t Score = 0;
    std::vector<std::uint64_t> Checkpoints;
};

std::map<std::string, ExpectedReplay> ReadHashes() {
    std::ifstream file(HashesPath);
    EXPECT_TRUE(file) << HashesPath;
    std::map<std::string, ExpectedReplay> records;
    ExpectedReplay* current = nullptr;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string kind, name;
        fields >> kind;
        if (kind == "record") {
            fields >> name;
            current = &records[name];
            fields >> current->Frames >> current->Score;
        } else if (kind == "check" && current != nullptr) {
            std::uint64_t hash = 0;
            fields >> std::hex >> hash;
            current->Checkpoints.push_back(hash);
        }
    }
    return records;
}

std::vector<std::string> RecordNames() {
    std::vector<std::string> names;
    for (const BotOptions& options : Games) names.push_back(BotRecordName(options));
    names.insert(names.end(), std::begin(ReplayTestRecords), std::end(ReplayTestRecords));
    return names;
}

void WriteHashes() {
    std::ofstream file(HashesPath);
    file << "# The records in this folder, replayed: record FILE FRAMES SCORE, then the running hash of\n"
            "# the game's and the decoration's state after every 1000 frames and after the last.\n";
    for (const std::string& name : RecordNames()) {
        const replay::RecordVerdict verdict = replay::VerifyRecord(ReadBytes(FixtureDir + "/" + name));
        ASSERT_TRUE(verdict.Record) << name;
        const Replayed replayed = Replay(*verdict.Record);
        char line[160];
        std::snprintf(line, sizeof line, "record %s %zu %" PRId32 "\n", name.c_str(), verdict.Record->Frames.size(),
                      replayed.FinalScore);
        file << line;
        for (std::uint64_t hash : replayed.Checkpoints) {
            std::snprintf(line, sizeof line, "check %016" PRIx64 "\n", hash);
            file << line;
        }
    }
}

// The bot plays its games anew: each must go through everything the test is about, and
// still play exactly the game its record holds.
TEST(Determinism, TheBotStillPlaysTheGamesItsRecordsHold) {
    const bool writing = std::getenv("ZORBLET_DETERMINISM_RECORD") != nullptr;
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

        const record::GameRecord played = AsRecord(game, tally.FinalScore);
        const std::string path = FixtureDir + "/" + BotRecordName(options);
        if (writing) WriteBytes(path, record::EncodeRecord(played));
        const record::DecodeResult kept = record::DecodeRecord(ReadBytes(path));
        ASSERT_TRUE(kept.Record) << kept.Message;
        EXPECT_EQ(kept.Record->Seed, played.Seed);
        EXPECT_EQ(kept.Record->Score, played.Score);
        EXPECT_TRUE(kept.Record->Frames == played.Frames) << "the bot played another game than its record holds";
    }
    if (writing) WriteHashes();
}

// Every record replays, in this build, to the states and the score records.txt holds, and
// to the score the record claims.
TEST(Determinism, RecordsReplayToTheSameStatesAndScoresInEveryBuild) {
    const std::map<std::string, ExpectedReplay> expected = ReadHashes();
    for (const std::string& name : RecordNames()) {
        SCOPED_TRACE(name);
        const replay::RecordVerdict verdict = replay::VerifyRecord(ReadBytes(FixtureDir + "/" + name));
        ASSERT_TRUE(verdict.Record) << record::ErrorName(verdict.Decoding);
        EXPECT_TRUE(verdict.ScoreMatches())
            << "claimed " << verdict.Record->Score << ", replayed " << verdict.ReplayedScore.value_or(-1);
        const Replayed replayed = Replay(*verdict.Record);
        EXPECT_EQ(replayed.GameOver, verdict.Record->End == record::GameEnd::GameOver);
        ASSERT_TRUE(expected.contains(name)) << "not in records.txt";
        const ExpectedReplay& want = expected.at(name);
        EXPECT_EQ(verdict.Record->Frames.size(), want.Frames);
        EXPECT_EQ(replayed.FinalScore, want.Score);
        ASSERT_EQ(replayed.Checkpoints.size(), want.Checkpoints.size());
        for (std::size_t c = 0; c < replayed.Checkpoints.size(); ++c) {
            ASSERT_EQ(replayed.Checkpoints[c], want.Checkpoints[c])
                << "the state first differs within frames " << c * CheckpointFrames << " to "
                << (c + 1) * CheckpointFrames;
        }
    }
}

// The score's replay leaves the decoration out: the game goes exactly as with it, frame for
// frame, in every record, while no particle, pop-up or trail ring is made.
TEST(Determinism, TheGameAloneReplaysAsWithItsDecoration) {
    std::size_t decoration = 0;  // particles over every frame of every record
    for (const std::string& name : RecordNames()) {
        SCOPED_TRACE(name);
        const record::DecodeResult decoded = record::DecodeRecord(ReadBytes(FixtureDir + "/" + name));
        ASSERT_TRUE(decoded.Record);
        NoTones tones;
        replay::RecordPlayer everything(*decoded.Record);
        replay::RecordPlayer alone(*decoded.Record, replay::Replaying::GameAlone);
        while (!everything.Finished()) {
            everything.Step(tones);
            alone.Step(tones);
            ASSERT_EQ(world::GameHash(alone.State()), world::GameHash(everything.State()))
                << "frame " << everything.FramesPlayed();
            const world::World& w = alone.State().World;
            ASSERT_TRUE(w.Particles.empty() && w.Popups.empty() && w.TrailRings.empty());
            decoration += everything.State().World.Particles.size();
        }
        EXPECT_EQ(alone.ShownScore(), everything.ShownScore());
        EXPECT_EQ(replay::ReplayScore(*decoded.Record), decoded.Record->Score);
    }
    EXPECT_GT(decoration, 100'000u) << "the records have decoration to leave out";
}

// A record replays to the same states as the game played live, frame for frame, also when
// the game began paused (the pause rides on the first frame's F4), and the decoration's
// numbers never move the game: a burst of particles more changes what is seen only.
TEST(Determinism, ReplayMatchesTheLiveGameAndDecorationNeverMovesIt) {
    BotTally tally;
    const RecordedGame live = PlayBotGame(Games[2], tally);
    const record::GameRecord game = AsRecord(live, tally.FinalScore);
    const Replayed plain = Replay(game);
    EXPECT_TRUE(game.Frames.front().F4Released) << "begun while paused";
    EXPECT_EQ(plain.FinalScore, tally.FinalScore) << "the replay scores what the game scored";

    // The same record with 250 particles added in its first frame: no contact burst
    // adds to them for a while, so the decoration's numbers take another course.
    const Replayed crowded = ReplayMeddled(game, [](world::GameState& state, std::size_t frame) {
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
