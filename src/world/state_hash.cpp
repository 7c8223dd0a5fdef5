#include "world/state_hash.h"

#include <string>
#include <vector>

#include "shared/float_bits.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace zorblet::world {

namespace {

// The fields in a fixed order and byte order, floats by their bits, then XXH3 over them.
class HashInput {
public:
    void Add(std::uint64_t value) {
        for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    void Add(std::int32_t value) { Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(value))); }
    void Add(std::uint32_t value) { Add(static_cast<std::uint64_t>(value)); }
    void Add(float value) { Add(FloatBits(value)); }
    void Add(bool value) { Add(static_cast<std::uint64_t>(value ? 1 : 0)); }
    void Add(const std::string& text) {
        Add(static_cast<std::uint64_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void Add(const RandomStream& random) {
        Add(random.Seed());
        Add(random.Draws());
    }
    template <typename... Values>
    void AddAll(const Values&... values) {
        (Add(values), ...);
    }
    template <typename Element, typename Fields>
    void AddList(const std::vector<Element>& list, Fields fields) {
        Add(static_cast<std::uint64_t>(list.size()));
        for (const Element& element : list) fields(element);
    }
    std::uint64_t Hash() const { return XXH3_64bits(bytes_.data(), bytes_.size()); }

private:
    std::vector<unsigned char> bytes_;
};

void AddShots(HashInput& in, const std::vector<Shot>& shots) {
    in.AddList(shots, [&](const Shot& s) { in.AddAll(s.X, s.Y, s.Angle, s.Speed); });
}

void AddRings(HashInput& in, const std::vector<TrailRing>& rings) {
    in.AddList(rings, [&](const TrailRing& r) { in.AddAll(r.X, r.Y, r.Radius, r.Brightness, r.Colour); });
}

}  // namespace

std::uint64_t GameHash(const GameState& state) {
    const World& w = state.World;
    const PlayState& p = state.Play;
    HashInput in;
    in.AddAll(static_cast<std::int32_t>(p.Now), p.Paused, p.Lives, p.Countdown);
    in.AddAll(w.GameRandom, w.Score, w.AnimAngle, w.BallX, w.BallY, w.BallVX, w.BallVY, w.BallRadius);
    in.AddAll(w.PaddleX, w.PaddleY, w.PaddleRadius, w.PaddleAngle, w.TargetX, w.TargetY, w.TargetSize);
    AddShots(in, w.Shots);
    in.AddAll(w.FireLatch, w.MouseDeltaX, w.MouseDeltaY);
    in.AddAll(w.RingSize, w.RingX, w.RingY);
    for (bool standing : w.RingFlags) in.Add(standing);
    in.AddAll(w.GatePostRadius, w.GateHalfWidth, w.GateX, w.GateY);
    return in.Hash();
}

std::uint64_t DecorationHash(const World& w) {
    HashInput in;
    in.AddAll(w.DecorationRandom, w.BallTintRed, w.BallTintGreen, w.TrailToggle);
    AddRings(in, w.TrailRings);
    in.AddList(w.Particles, [&](const Particle& p) { in.AddAll(p.Colour, p.X, p.Y, p.Angle, p.Rot, p.Speed, p.Spin); });
    in.AddList(w.Popups, [&](const Popup& p) { in.AddAll(p.Text, p.X, p.Y, p.Angle, p.Speed, p.HalfWidth); });
    const DrawnAsOf& d = w.Drawn;
    in.AddAll(d.BallX, d.BallY, d.BallTintRed, d.BallTintGreen, d.GatePostRadius);
    in.Add(static_cast<std::uint64_t>(d.Particles));
    in.Add(static_cast<std::uint64_t>(d.Popups));
    AddRings(in, d.ExpiredRings);
    AddShots(in, d.HitShots);
    return in.Hash();
}

}  // namespace zorblet::world
