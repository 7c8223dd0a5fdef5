// The replay of a record, as the window, --replay-info and the highscore service use it:
// which records these rules can replay, the frame-by-frame player, and the verdict on
// bytes that claim to be a record.

#include "replay/record_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "world/state_hash.h"

namespace zorblet::replay {
namespace {

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

std::vector<std::uint8_t> FixtureBytes(const std::string& name) {
    std::ifstream file(std::string(ZORBLET_DETERMINISM_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(RecordPlayer, ReplaysOnlyRecordsOfItsRulesWithSeedsTheyTake) {
    struct Case {
        std::uint32_t Rules;
        std::uint64_t Seed;
        RulesProblem Problem;
    };
    constexpr std::uint64_t Largest = std::numeric_limits<std::uint64_t>::max();
    const Case cases[] = {
        {world::RulesVersion, 0, RulesProblem::None},
        {world::RulesVersion, SeedLimit - 1, RulesProblem::None},
        {world::RulesVersion, SeedLimit, RulesProblem::SeedOutOfRange},
        {world::RulesVersion, Largest, RulesProblem::SeedOutOfRange},
        {0, 5, RulesProblem::OtherRules},
        {world::RulesVersion + 1, 5, RulesProblem::OtherRules},
        {world::RulesVersion + 1, Largest, RulesProblem::OtherRules},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckRules({.RulesVersion = c.Rules, .Seed = c.Seed}), c.Problem)
            << "rules " << c.Rules << ", seed " << c.Seed;
    }
}

// Every field of a frame's input goes to its own place and back.
TEST(RecordPlayer, FrameInputsKeepEachFieldInItsPlace) {
    const world::FrameInput inputs[] = {
        {.Mouse = {-7, 3, false}},
        {.Mouse = {0, 0, true}},
        {.Mouse = {}, .F2Released = true},
        {.Mouse = {}, .F4Released = true},
        {.Mouse = {}, .EscReleased = true},
        {.Mouse = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), true},
         .F2Released = true,
         .F4Released = true,
         .EscReleased = true},
    };
    for (const world::FrameInput& input : inputs) {
        const record::FrameInput kept = RecordedInput(input);
        EXPECT_EQ(kept.DeltaX, input.Mouse.DeltaX);
        EXPECT_EQ(kept.DeltaY, input.Mouse.DeltaY);
        EXPECT_EQ(kept.LeftButton, input.Mouse.LeftButton);
        EXPECT_EQ(kept.F2Released, input.F2Released);
        EXPECT_EQ(kept.F4Released, input.F4Released);
        EXPECT_EQ(kept.EscapeReleased, input.EscReleased);
        EXPECT_TRUE(RecordedInput(WorldInput(kept)) == kept);
    }
}

// A game's first frame shows the countdown's 3; the player stops at the record's end and
// steps nothing after it.
TEST(RecordPlayer, StepsFrameByFrameUntilTheRecordEnds) {
    record::GameRecord game{.RulesVersion = world::RulesVersion, .Seed = 99};
    game.Frames.push_back({.F2Released = true});
    game.Frames.resize(400);
    NoTones tones;
    RecordPlayer player(game);
    EXPECT_EQ(player.FramesPlayed(), 0u);
    EXPECT_TRUE(player.Step(tones).GameStarted);
    EXPECT_EQ(player.CountdownDigit(), 3);
    EXPECT_EQ(player.State().Play.Lives, world::StartLives);
    while (!player.Finished()) player.Step(tones);
    EXPECT_EQ(player.FramesPlayed(), 400u);
    EXPECT_EQ(player.CountdownDigit(), -1) << "the countdown ran out after 301 frames";
    const std::uint64_t last = world::GameHash(player.State());
    const world::FrameEvents after = player.Step(tones);
    EXPECT_FALSE(after.GameStarted || after.GameOver || after.GameAbandoned);
    EXPECT_EQ(world::GameHash(player.State()), last) << "nothing after the last frame";
    EXPECT_EQ(player.FramesPlayed(), 400u);
}

// A record may hold anything a file can: the mouse at its extremes every frame, the keys
// in every combination, games started and abandoned mid-record. Its replay stays within
// the world's bounds (the sanitizer builds look for undefined behaviour on the way).
TEST(RecordPlayer, ReplaysAnyInputWithoutHarm) {
    constexpr std::int32_t Low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t High = std::numeric_limits<std::int32_t>::max();
    const std::int32_t deltas[] = {Low, High, 0, -1, 1, 599, -600, Low + 1};
    record::GameRecord game{.RulesVersion = world::RulesVersion, .Seed = SeedLimit - 1};
    for (std::uint32_t i = 0; i < 20'000; ++i) {
        const std::uint32_t keys = i % 997 == 0 ? (i / 997) % 16 : 0;
        game.Frames.push_back({.DeltaX = deltas[i % 8],
                               .DeltaY = deltas[(i / 8) % 8],
                               .LeftButton = (i / 3) % 2 == 0,
                               .F2Released = (keys & 2) != 0 || i == 0,
                               .F4Released = (keys & 4) != 0,
                               .EscapeReleased = (keys & 8) != 0});
    }
    NoTones tones;
    RecordPlayer player(game);
    while (!player.Finished()) {
        player.Step(tones);
        const world::World& w = player.State().World;
        ASSERT_TRUE(w.PaddleX >= 0 && w.PaddleX <= 600 && w.PaddleY >= 0 && w.PaddleY <= 600)
            << "frame " << player.FramesPlayed();
        ASSERT_TRUE(std::isfinite(w.BallX) && std::isfinite(w.BallY) && std::isfinite(w.Score))
            << "frame " << player.FramesPlayed();
    }
    EXPECT_EQ(ReplayScore(game), player.ShownScore()) << "and the same twice";
}

record::GameRecord Changed(const record::GameRecord& game, void (*change)(record::GameRecord&)) {
    record::GameRecord copy = game;
    change(copy);
    return copy;
}

// The highscore service's check: only a record read whole, of these rules, whose inputs
// give the score it claims, passes.
TEST(VerifyRecord, PassesARecordOnlyWhenItsInputsGiveItsScore) {
    const std::vector<std::uint8_t> good = FixtureBytes("bot-7.zrec");
    const RecordVerdict verdict = VerifyRecord(good);
    ASSERT_TRUE(verdict.Record);
    ASSERT_TRUE(verdict.ReplayedScore);
    EXPECT_TRUE(verdict.ScoreMatches());
    EXPECT_GT(verdict.Record->Score, 1000);
    const record::GameRecord& game = *verdict.Record;

    const RecordVerdict claimed =
        VerifyRecord(record::EncodeRecord(Changed(game, [](record::GameRecord& g) { g.Score += 1; })));
    EXPECT_FALSE(claimed.ScoreMatches());
    EXPECT_EQ(claimed.ReplayedScore, game.Score) << "the replay gives what was played";

    // The paddle held still for a second of play: another game, another score.
    const RecordVerdict steered = VerifyRecord(record::EncodeRecord(Changed(game, [](record::GameRecord& g) {
        for (std::size_t i = 2000; i < 2121; ++i) g.Frames[i].DeltaX = g.Frames[i].DeltaY = 0;
    })));
    ASSERT_TRUE(steered.ReplayedScore);
    EXPECT_FALSE(steered.ScoreMatches()) << "replayed " << *steered.ReplayedScore;

    std::vector<std::uint8_t> flipped = good;
    flipped[flipped.size() / 2] ^= 0x10;
    const RecordVerdict damaged = VerifyRecord(flipped);
    EXPECT_EQ(damaged.Decoding, record::DecodeError::ChecksumMismatch);
    EXPECT_FALSE(damaged.Record || damaged.ReplayedScore || damaged.ScoreMatches());

    const RecordVerdict other =
        VerifyRecord(record::EncodeRecord(Changed(game, [](record::GameRecord& g) { g.RulesVersion += 1; })));
    EXPECT_EQ(other.Rules, RulesProblem::OtherRules);
    EXPECT_TRUE(other.Record) << "read, but not replayed";
    EXPECT_FALSE(other.ReplayedScore || other.ScoreMatches());

    const RecordVerdict seed =
        VerifyRecord(record::EncodeRecord(Changed(game, [](record::GameRecord& g) { g.Seed += SeedLimit; })));
    EXPECT_EQ(seed.Rules, RulesProblem::SeedOutOfRange) << "never cut to the 32 bits that would replay";
    EXPECT_FALSE(seed.ScoreMatches());
}

// A record is the course of one game: started in its first frame, ended in its last the
// way the record says. A record cut, extended or relabelled is refused whatever its score.
TEST(ReplayGame, FindsEveryRecordThatIsNotTheCourseOfOneGame) {
    const std::optional<record::GameRecord> read = record::DecodeRecord(FixtureBytes("bot-7.zrec")).Record;
    ASSERT_TRUE(read);
    const record::GameRecord& game = *read;
    ASSERT_EQ(game.End, record::GameEnd::GameOver);
    const std::size_t count = game.Frames.size();
    struct Case {
        const char* name;
        void (*change)(record::GameRecord&);
        CourseProblem problem;
    };
    const Case cases[] = {
        {"as played", [](record::GameRecord&) {}, CourseProblem::None},
        {"no frames", [](record::GameRecord& g) { g.Frames.clear(); }, CourseProblem::NoGameStarted},
        {"the first F2 gone", [](record::GameRecord& g) { g.Frames[0].F2Released = false; },
         CourseProblem::NoGameStarted},
        {"a second F2", [](record::GameRecord& g) { g.Frames[5000].F2Released = true; }, CourseProblem::SecondGame},
        {"the last frame gone", [](record::GameRecord& g) { g.Frames.pop_back(); }, CourseProblem::EndNotReached},
        {"a frame after the game over", [](record::GameRecord& g) { g.Frames.emplace_back(); },
         CourseProblem::EndedEarly},
        {"an ESC before the end", [](record::GameRecord& g) { g.Frames[4000].EscapeReleased = true; },
         CourseProblem::EndedEarly},
        {"a game over called abandoned", [](record::GameRecord& g) { g.End = record::GameEnd::Abandoned; },
         CourseProblem::EndNotReached},
        {"a game over called left for a new one", [](record::GameRecord& g) { g.End = record::GameEnd::NewGame; },
         CourseProblem::EndNotReached},
        {"cut short and called abandoned",
         [](record::GameRecord& g) {
             g.Frames.resize(3000);
             g.End = record::GameEnd::Abandoned;
         },
         CourseProblem::None},
        {"cut short by ESC and called abandoned",
         [](record::GameRecord& g) {
             g.Frames.resize(3000);
             g.Frames.back().EscapeReleased = true;
             g.End = record::GameEnd::Abandoned;
         },
         CourseProblem::None},
        {"cut short and left for a new one",
         [](record::GameRecord& g) {
             g.Frames.resize(3000);
             g.End = record::GameEnd::NewGame;
         },
         CourseProblem::None},
        {"cut short by ESC and called left for a new one",
         [](record::GameRecord& g) {
             g.Frames.resize(3000);
             g.Frames.back().EscapeReleased = true;
             g.End = record::GameEnd::NewGame;
         },
         CourseProblem::EndNotReached},
        {"cut short and called a game over",
         [](record::GameRecord& g) { g.Frames.resize(3000); }, CourseProblem::EndNotReached},
    };
    for (const Case& c : cases) {
        const record::GameRecord changed = Changed(game, c.change);
        EXPECT_EQ(ReplayGame(changed, false).Course, c.problem) << c.name;
        EXPECT_EQ(ReplayGame(changed, true).Course, c.problem) << c.name;
    }
    const ReplayedGame whole = ReplayGame(game, true);
    EXPECT_EQ(whole.Score, game.Score);
    EXPECT_EQ(whole.FramesPlayed, count);
    EXPECT_EQ(VerifyRecord(record::EncodeRecord(game)).Course, CourseProblem::None);

    // A long tail after the game over is not replayed when the checker stops at the problem.
    record::GameRecord tail = game;
    tail.Frames.resize(count + 50'000);
    EXPECT_EQ(ReplayGame(tail, true).FramesPlayed, count) << "it stops at the game over";
    EXPECT_EQ(ReplayGame(tail, false).FramesPlayed, count + 50'000);
    EXPECT_EQ(VerifyRecord(record::EncodeRecord(tail)).Course, CourseProblem::EndedEarly);
}

// Every fixture a bot or the replay test recorded is one game's course.
TEST(ReplayGame, EveryRecordedFixtureIsTheCourseOfOneGame) {
    for (const char* name : {"bot-20261211.zrec", "bot-3141592653.zrec", "bot-7.zrec", "replay-test-1.zrec",
                             "replay-test-2.zrec"}) {
        const RecordVerdict verdict = VerifyRecord(FixtureBytes(name));
        ASSERT_TRUE(verdict.ReplayedScore) << name;
        EXPECT_TRUE(verdict.ScoreMatches()) << name;
        EXPECT_EQ(verdict.Course, CourseProblem::None) << name << ": " << CourseProblemName(verdict.Course);
    }
}

}  // namespace
}  // namespace zorblet::replay
