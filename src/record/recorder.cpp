#include "record/recorder.h"

#include <utility>

namespace zorblet::record {

void Recorder::StartGame(std::uint32_t rulesVersion, std::uint64_t seed, std::vector<std::uint8_t> ticket) {
    game_ = GameRecord{.RulesVersion = rulesVersion, .Seed = seed, .Ticket = std::move(ticket)};
    game_.Frames.reserve(reservedFrames_);
    recording_ = true;
}

bool Recorder::AddFrame(const FrameInput& input) {
    if (!recording_ || game_.Frames.size() >= MaxFrames) return false;
    game_.Frames.push_back(input);
    return true;
}

GameRecord Recorder::FinishGame(std::int32_t score, GameEnd end) {
    game_.Score = score;
    game_.End = end;
    recording_ = false;
    return std::exchange(game_, GameRecord{});
}

}  // namespace zorblet::record
