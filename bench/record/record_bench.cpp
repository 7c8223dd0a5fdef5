// The game record: what a minute of play costs on disk, and what keeping a frame,
// writing a ten-minute game, reading it, replaying it without drawing (the goal: a million
// frames a second, a ten-minute game in under 0.1 s), verifying it as the highscore
// service will (read, and replayed without the decoration), and refusing the worst
// compression bomb cost.
//
// The inputs are those of the frame benchmark's play bot, which plays ten-minute games
// here without a window (several seeds), of the replay test's bot (its recorded mouse
// readings), and of the format tests' model of a hand on a mouse, which moves in every
// frame on both axes.
// Usage: record_bench [GOOGLE_BENCHMARK_OPTION...]   (scripts/bench-record builds and runs it)

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "record/bot_games.h"
#include "record/bytes.h"
#include "record/record_format.h"
#include "record/recorder.h"
#include "record/sample_records.h"
#include "replay/record_player.h"

namespace {

using namespace zorblet;
using record::GameRecord;

constexpr std::uint32_t TenMinutes = 10 * 60 * record::FramesPerSecond;

double Minutes(const GameRecord& game) {
    return static_cast<double>(game.Frames.size()) / (60.0 * record::FramesPerSecond);
}

const GameRecord& TenMinuteBotGame() {
    static const GameRecord game = bench::PlayBotGame(1, TenMinutes);
    return game;
}

// The replay test's recorded mouse readings ("m FRAME DX,DY[,1] ..." lines), frame by
// frame from the first to the last; empty when the file cannot be read.
GameRecord ReplayBotReadings() {
    std::ifstream file(std::string(ZORBLET_REPLAY_DIR) + "/input.txt");
    std::map<int, record::FrameInput> readings;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string kind;
        int frame = 0;
        if (!(fields >> kind >> frame) || kind != "m") continue;
        for (std::string reading; fields >> reading; ++frame) {
            int dx = 0, dy = 0, button = 0;
            if (std::sscanf(reading.c_str(), "%d,%d,%d", &dx, &dy, &button) < 2) return {};
            readings[frame] = {.DeltaX = dx, .DeltaY = dy, .LeftButton = button != 0};
        }
    }
    GameRecord game{.RulesVersion = 1, .Seed = 20261210};
    if (readings.empty()) return game;
    for (int frame = readings.begin()->first; frame <= readings.rbegin()->first; ++frame) {
        const auto found = readings.find(frame);
        game.Frames.push_back(found == readings.end() ? record::FrameInput{} : found->second);
    }
    return game;
}

void PrintCost(const char* what, const GameRecord& game) {
    if (game.Frames.empty()) {
        std::printf("%-34s (no frames)\n", what);
        return;
    }
    const std::size_t bytes = record::EncodeRecord(game).size();
    std::printf("%-34s %8zu frames %6.2f min %8zu bytes %7.0f bytes/min\n", what, game.Frames.size(), Minutes(game),
                bytes, static_cast<double>(bytes) / Minutes(game));
}

void ReportBytesPerMinute() {
    std::printf("What a minute of play costs (121 frames a second):\n");
    for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        const std::string what = "play bot, seed " + std::to_string(seed);
        PrintCost(what.c_str(), seed == 1 ? TenMinuteBotGame() : bench::PlayBotGame(seed, TenMinutes));
    }
    PrintCost("replay test's bot, its readings", ReplayBotReadings());
    PrintCost("a hand on a mouse (test model)", testing::HandPlayedGame(TenMinutes));
    std::printf("\n");
    std::fflush(stdout);
}

// Keeping one frame's input, as the game's frame does.
void RecordFrame(benchmark::State& state) {
    record::Recorder recorder(record::MaxFrames);
    recorder.StartGame(1, 1);
    std::int32_t dx = 0;
    for (auto _ : state) {
        if (!recorder.AddFrame({.DeltaX = ++dx & 15, .DeltaY = 1})) recorder.StartGame(1, 1);
    }
}
BENCHMARK(RecordFrame);

void EncodeTenMinutes(benchmark::State& state) {
    const GameRecord& game = TenMinuteBotGame();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> file = record::EncodeRecord(game);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(game.Frames.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(EncodeTenMinutes)->Unit(benchmark::kMillisecond);

void DecodeTenMinutes(benchmark::State& state) {
    const GameRecord& game = TenMinuteBotGame();
    const std::vector<std::uint8_t> file = record::EncodeRecord(game);
    for (auto _ : state) {
        const record::DecodeResult result = record::DecodeRecord(file);
        if (!result.Record) {
            state.SkipWithError(result.Message.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.Record->Frames.data());
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(game.Frames.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(DecodeTenMinutes)->Unit(benchmark::kMillisecond);

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

// The record's frames stepped through the rules from a fresh state, without drawing: the
// whole world (argument 0), as the determinism test and a picture need it, and the game
// alone without its decoration (1), as --replay-info and the highscore service score it.
void ReplayTenMinutes(benchmark::State& state) {
    const GameRecord& game = TenMinuteBotGame();
    const auto what = state.range(0) == 0 ? replay::Replaying::Everything : replay::Replaying::GameAlone;
    NoTones tones;
    for (auto _ : state) {
        replay::RecordPlayer player(game, what);
        while (!player.Finished()) player.Step(tones);
        benchmark::DoNotOptimize(player.ShownScore());
    }
    state.SetLabel(state.range(0) == 0 ? "everything" : "the game alone");
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(game.Frames.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(ReplayTenMinutes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The highscore service's whole check of a submitted ten-minute game: read, replayed,
// its score compared.
void VerifyTenMinutes(benchmark::State& state) {
    const GameRecord& game = TenMinuteBotGame();
    const std::vector<std::uint8_t> file = record::EncodeRecord(game);
    for (auto _ : state) {
        const replay::RecordVerdict verdict = replay::VerifyRecord(file);
        if (!verdict.ScoreMatches()) {
            state.SkipWithError("the replay does not give the recorded score");
            break;
        }
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(game.Frames.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(VerifyTenMinutes)->Unit(benchmark::kMillisecond);

// The most a hostile record can make a reader inflate: the longest game's frame count,
// then zeros past what its frames can need.
std::vector<std::uint8_t> WorstBomb() {
    std::vector<std::uint8_t> payload;
    record::PutVarint32(payload, 1);
    record::PutFixed64(payload, 0);
    record::PutVarint32(payload, record::MaxFrames);
    payload.resize(payload.size() + 12 * std::size_t{record::MaxFrames}, 0);
    uLongf size = compressBound(payload.size());
    std::vector<std::uint8_t> body(size);
    compress2(body.data(), &size, payload.data(), payload.size(), Z_BEST_COMPRESSION);
    body.resize(size);
    std::vector<std::uint8_t> file{'Z', 'R', 'E', 'C'};
    record::PutFixed16(file, record::CurrentFormatVersion);
    record::PutFixed32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    record::PutFixed32(file, static_cast<std::uint32_t>(crc32_z(0, file.data(), file.size())));
    return file;
}

void RefuseWorstBomb(benchmark::State& state) {
    const std::vector<std::uint8_t> file = WorstBomb();
    for (auto _ : state) {
        const record::DecodeResult result = record::DecodeRecord(file);
        if (result.Error != record::DecodeError::PayloadTooLarge) state.SkipWithError("the bomb was not refused");
    }
    state.counters["file_bytes"] = static_cast<double>(file.size());
}
BENCHMARK(RefuseWorstBomb)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ReportBytesPerMinute();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
