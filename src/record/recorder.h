#pragma once
// Collects a game's record while it is played: one frame's input at a time, in the frame,
// at the cost of a copy into room taken when the game starts. Encoding waits for the end.

#include <cstdint>
#include <vector>

#include "record/game_record.h"

namespace zorblet::record {

class Recorder {
public:
    // Room for this many frames is taken when a game starts: ten minutes' worth by
    // default; a longer game grows it now and then, doubling.
    explicit Recorder(std::size_t reservedFrames = 10 * 60 * FramesPerSecond) : reservedFrames_(reservedFrames) {}

    // Begins a record, forgetting one that was not finished.
    void StartGame(std::uint32_t rulesVersion, std::uint64_t seed, std::vector<std::uint8_t> ticket = {});
    // Keeps one frame's input. False, keeping nothing, when no game is being recorded or
    // it holds MaxFrames already.
    bool AddFrame(const FrameInput& input);
    // The record, with the score shown at the end and how the game ended; no game is
    // recorded after it until the next StartGame.
    GameRecord FinishGame(std::int32_t score, GameEnd end);

    bool Recording() const { return recording_; }
    std::size_t FrameCount() const { return game_.Frames.size(); }

private:
    std::size_t reservedFrames_;
    GameRecord game_;
    bool recording_ = false;
};

}  // namespace zorblet::record
