#pragma once
// A recorded game as the watch page shows it: its frames stepped by the replay library's
// RecordPlayer and drawn by render::DrawReplayFrame, the very code of zorblet --replay, so
// that frame N in the browser is frame N on the desktop. What it adds is the seeking: a
// copy of the player (the whole GameState, about 5 KB with its generators) every
// SnapshotInterval frames, kept as it plays, from which any frame is a few steps away.

#include <cstdint>
#include <vector>

#include "record/game_record.h"
#include "render/canvas.h"
#include "render/font.h"
#include "replay/record_player.h"

namespace zorblet::web {

// Two seconds of the game: a seek back steps at most this many frames from its snapshot,
// and a ten-minute game keeps 300 snapshots.
inline constexpr std::uint32_t SnapshotInterval = 2 * record::FramesPerSecond;

class Playback {
public:
    // The record must pass replay::CheckRules.
    explicit Playback(record::GameRecord record);
    // The player points into the record: a playback stays where it was made.
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    std::uint32_t FrameCount() const { return static_cast<std::uint32_t>(record_.Frames.size()); }
    // How many of the record's frames have been stepped; the picture shows the last of them.
    std::uint32_t FramesPlayed() const { return static_cast<std::uint32_t>(player_.FramesPlayed()); }
    const record::GameRecord& Record() const { return record_; }
    const replay::RecordPlayer& Player() const { return player_; }

    // Steps the next frame, starting its tones; false, stepping nothing, at the record's end.
    bool PlayFrame(sound::ToneStarter& tones);
    // Stands after `frames` frames (at most all of them), silently: from the nearest
    // snapshot at or before it when that is nearer than where the playback stands.
    void SeekTo(std::uint32_t frames);
    std::size_t SnapshotCount() const { return snapshots_.size(); }

    // The picture of the last frame stepped, as zorblet --replay draws it.
    void Draw(render::Canvas& canvas, const render::Fonts& fonts) const;

private:
    void KeepSnapshot();

    const record::GameRecord record_;
    replay::RecordPlayer player_;
    // snapshots_[k]: the player after k * SnapshotInterval frames.
    std::vector<replay::RecordPlayer> snapshots_;
};

}  // namespace zorblet::web
