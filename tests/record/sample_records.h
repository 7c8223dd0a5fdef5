#pragma once
// Game records for the format's tests, the same in every build: whole-number arithmetic
// only, so that the fixture files written from them stay true everywhere.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "record/game_record.h"

namespace zorblet::testing {

struct SampleRecord {
    std::string Name;
    record::GameRecord Record;
};

// A player's hand: a paddle chasing a ball that crosses the field, a wobble on top, a
// click now and then, the countdown's frames still. A minute of it, or any length.
inline record::GameRecord HandPlayedGame(std::uint32_t frames, std::uint64_t seed = 20261210) {
    record::GameRecord game{.RulesVersion = 1, .Seed = seed, .Score = 23'456, .End = record::GameEnd::GameOver};
    std::uint32_t noise = static_cast<std::uint32_t>(seed);
    std::int32_t velocity = 0;
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        record::FrameInput input;
        input.F2Released = frame == 0;
        if (frame >= 301) {  // after the countdown
            noise = noise * 1'664'525u + 1'013'904'223u;
            const std::int32_t turn = (frame / 240) % 2 == 0 ? 1 : -1;
            velocity = std::clamp(velocity + turn, -6, 6);
            input.DeltaX = velocity + static_cast<std::int32_t>(noise >> 30) - 1;
            input.DeltaY = (noise >> 20) % 7 == 0 ? static_cast<std::int32_t>((noise >> 16) % 3) - 1 : 0;
            input.LeftButton = frame % 160 < 4;
        }
        game.Frames.push_back(input);
    }
    return game;
}

inline std::vector<record::FrameInput> EveryFlag() {
    std::vector<record::FrameInput> frames;
    for (int bits = 0; bits < 16; ++bits) {
        frames.push_back({.DeltaX = bits,
                          .DeltaY = -bits,
                          .LeftButton = (bits & 1) != 0,
                          .F2Released = (bits & 2) != 0,
                          .F4Released = (bits & 4) != 0,
                          .EscapeReleased = (bits & 8) != 0});
    }
    return frames;
}

inline std::vector<record::FrameInput> ExtremeDeltas() {
    constexpr std::int32_t Min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
    // Around the lengths of a varint: 7, 14, 21 and 28 bits, either sign.
    const std::vector<std::int32_t> values{0,    1,     -1,     63,     -64,     64,      -65,       8191,
                                           -8192, 8192, -8193, 1 << 20, -(1 << 20), 1 << 27, -(1 << 27), Max,
                                           Min,  Max - 1, Min + 1};
    std::vector<record::FrameInput> frames;
    for (std::size_t i = 0; i < values.size(); ++i) {
        frames.push_back({.DeltaX = values[i], .DeltaY = values[values.size() - 1 - i]});
    }
    return frames;
}

inline std::vector<std::uint8_t> EveryByteTicket(std::size_t size) {
    std::vector<std::uint8_t> ticket;
    for (std::size_t i = 0; i < size; ++i) ticket.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    return ticket;
}

// The table the round trip goes through.
inline std::vector<SampleRecord> SampleRecords() {
    using record::GameEnd;
    using record::GameRecord;
    std::vector<SampleRecord> samples;
    samples.push_back({"EmptyGame", GameRecord{}});
    samples.push_back({"OneFrame", GameRecord{.RulesVersion = 1, .Seed = 7, .Frames = {{.DeltaX = 3, .DeltaY = -2}},
                                              .Score = 0, .End = GameEnd::Abandoned}});
    samples.push_back({"ExtremeValues", GameRecord{.RulesVersion = std::numeric_limits<std::uint32_t>::max(),
                                                   .Seed = std::numeric_limits<std::uint64_t>::max(),
                                                   .Frames = ExtremeDeltas(),
                                                   .Score = std::numeric_limits<std::int32_t>::min(),
                                                   .End = GameEnd::NewGame}});
    samples.push_back({"EveryFlag", GameRecord{.RulesVersion = 1, .Seed = 1ull << 63, .Frames = EveryFlag(),
                                               .Score = std::numeric_limits<std::int32_t>::max(),
                                               .End = GameEnd::NewGame}});
    GameRecord runs{.RulesVersion = 2, .Seed = 99, .Score = -40, .End = GameEnd::Abandoned};
    runs.Frames.assign(20'000, record::FrameInput{});
    runs.Frames.insert(runs.Frames.end(), 1'000, record::FrameInput{.DeltaX = -1, .LeftButton = true});
    runs.Frames.insert(runs.Frames.end(), 12'000, record::FrameInput{.DeltaY = 300});
    samples.push_back({"LongRuns", runs});
    GameRecord ticketed = HandPlayedGame(500);
    ticketed.Ticket = EveryByteTicket(record::MaxTicketBytes);
    samples.push_back({"LongestTicket", ticketed});
    samples.push_back({"HandPlayedMinute", HandPlayedGame(60 * record::FramesPerSecond)});
    return samples;
}

}  // namespace zorblet::testing
