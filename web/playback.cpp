#include "playback.h"

#include <algorithm>
#include <utility>

#include "render/replay_frame.h"

namespace zorblet::web {

namespace {

class NoTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

}  // namespace

Playback::Playback(record::GameRecord record) : record_(std::move(record)), player_(record_) {
    KeepSnapshot();
}

// Keeps the player as it stands when that is the next snapshot's frame.
void Playback::KeepSnapshot() {
    const std::size_t played = player_.FramesPlayed();
    if (played % SnapshotInterval == 0 && played / SnapshotInterval == snapshots_.size()) snapshots_.push_back(player_);
}

bool Playback::PlayFrame(sound::ToneStarter& tones) {
    if (player_.Finished()) return false;
    player_.Step(tones);
    KeepSnapshot();
    return true;
}

void Playback::SeekTo(std::uint32_t frames) {
    frames = std::min(frames, FrameCount());
    // The snapshot nearest before the target, of those kept so far.
    const std::size_t nearest = std::min<std::size_t>(frames / SnapshotInterval, snapshots_.size() - 1);
    const std::size_t from = nearest * SnapshotInterval;
    if (frames < FramesPlayed() || from > FramesPlayed()) player_ = snapshots_[nearest];
    NoTones silence;
    while (FramesPlayed() < frames) PlayFrame(silence);
}

void Playback::Draw(render::Canvas& canvas, const render::Fonts& fonts) const {
    render::DrawReplayFrame(canvas, fonts, player_.State(), player_.CountdownDigit());
}

}  // namespace zorblet::web
