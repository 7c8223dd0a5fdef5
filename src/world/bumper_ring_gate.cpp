#include "world/bumper_ring_gate.h"

#include <algorithm>

#include "world/collision.h"
#include "world/geometry.h"
#include "world/objects.h"

namespace zorblet::world {

namespace {

constexpr float Growth = 0.1f;
constexpr float FixedPushOut = 30.0f;
constexpr float ExtraSpeedLimit = 10.0f;
constexpr float GateWaitAfterFlyThrough = -500.0f;
constexpr float GateWaitAfterCollapse = -450.0f;
constexpr std::int32_t RespawnAt = -300;
constexpr float GateNarrowing = 0.02f;
constexpr float GateCollapseWidth = 26.0f;
constexpr float GateFreshHalfWidth = 75.0f;
constexpr float GateMargin = 20.0f;
constexpr float GateBand = 5.0f;
constexpr std::int32_t BumperRadius = 10;
constexpr std::int32_t PostClickHz = 1100;
constexpr Colour BumperBurstColour = RGB(150, 25, 25);
constexpr Colour GateBurstColour = RGB(0, 75, 150);

// Adds the growth step while the world moves, stopping exactly at the live value.
void GrowTowards(float& counter, float live, const TickInput& input) {
    if (counter < live && input.Moving) {
        counter += Growth;
        if (counter > live) counter = live;
    }
}

bool BallTouches(const World& world, std::int32_t x, std::int32_t y, float reach) {
    return PointDistance(Rounded(world.BallX), Rounded(world.BallY), x, y) < reach;
}

void BurstFromBumper(World& world, Centre centre) {
    for (int j = 1; j <= 36; ++j) {
        const std::int32_t speed = world.DecorationRandom.UpTo(10);
        const std::int32_t spin = world.DecorationRandom.UpTo(10);
        AddParticle(world, BumperBurstColour, centre.X, centre.Y, static_cast<float>(10 * j), 0.0f,
                    1.0f + static_cast<float>(speed) / 20.0f, static_cast<float>(spin - 5));
    }
}

void KnockOutBumper(World& world, const TickInput& input, sound::ToneStarter& tones, int i, Centre centre) {
    BounceOffFixedCircle(world, static_cast<float>(centre.X), static_cast<float>(centre.Y));
    world.RingFlags[i] = false;
    Award(world, input, BumperReward, centre.X, centre.Y);
    tones.StartTone(sound::ToneEffect::Crackle, 1);
    BurstFromBumper(world, centre);
    const bool allGone = std::none_of(world.RingFlags.begin() + 1, world.RingFlags.end(), [](bool f) { return f; });
    if (allGone) world.RingSize = RingWaitAtStart;
}

// At most one bumper per frame: those after the one hit wait for the next frame.
void HitBumpers(World& world, const TickInput& input, sound::ToneStarter& tones) {
    for (int i = 1; i <= 6; ++i) {
        if (!world.RingFlags[i]) continue;
        const Centre centre = BumperCentre(world, i);
        if (!BallTouches(world, centre.X, centre.Y, static_cast<float>(world.BallRadius + BumperRadius))) continue;
        KnockOutBumper(world, input, tones, i, centre);
        return;
    }
}

// Near the respawn value the counter stays on it for about ten frames; each draws a new
// place and the last one stands.
bool AtRespawn(float counter) {
    return Rounded(counter) == RespawnAt;
}

void StepBumperRing(World& world, const TickInput& input, sound::ToneStarter& tones) {
    GrowTowards(world.RingSize, RingLiveSize, input);
    if (world.RingSize == RingLiveSize) HitBumpers(world, input, tones);
    if (AtRespawn(world.RingSize)) {
        world.RingX = 100 + world.GameRandom.UpTo(400);
        world.RingY = 200 + world.GameRandom.UpTo(200);
        std::fill(world.RingFlags.begin() + 1, world.RingFlags.end(), true);
    }
}

void BounceOffPost(World& world, sound::ToneStarter& tones, float postX) {
    const float reach = static_cast<float>(world.BallRadius) + world.GatePostRadius;
    if (!BallTouches(world, Rounded(postX), world.GateY, reach)) return;
    BounceOffFixedCircle(world, postX, static_cast<float>(world.GateY));
    tones.StartTone(sound::ToneEffect::Click, PostClickHz);
}

// The ball's centre strictly inside the band along the beam, 20 pixels in from each post.
bool BallInGateBand(const World& world) {
    const auto gateY = static_cast<float>(world.GateY);
    return LeftPostX(world) + GateMargin < world.BallX && world.BallX < RightPostX(world) - GateMargin &&
           gateY - GateBand < world.BallY && world.BallY < gateY + GateBand;
}

void AddGateParticle(World& world, std::int32_t x, float angle) {
    const std::int32_t speed = world.DecorationRandom.UpTo(10);
    const std::int32_t spin = world.DecorationRandom.UpTo(10);
    AddParticle(world, GateBurstColour, x, world.GateY, angle, 0.0f, static_cast<float>(speed) / 20.0f,
                static_cast<float>(spin - 5));
}

void BurstFromPost(World& world, std::int32_t x) {
    for (int k = 1; k <= 18; ++k) AddGateParticle(world, x, static_cast<float>(20 * k));
}

// The gate ends in a crackle and a burst at both posts and along the beam.
void BurstGate(World& world, sound::ToneStarter& tones) {
    tones.StartTone(sound::ToneEffect::Crackle, 1);
    BurstFromPost(world, Rounded(LeftPostX(world)));
    const std::int32_t n = Rounded(world.GateHalfWidth / 2.0f);
    for (std::int32_t k = 1; k <= n - 1; ++k) {
        AddGateParticle(world, Rounded(LeftPostX(world) + 4.0f * static_cast<float>(k)), 0.0f);
    }
    BurstFromPost(world, Rounded(RightPostX(world)));
}

// A live gate narrows in every frame, paused or not, until it is flown through or collapses.
void StepLiveGate(World& world, const TickInput& input, sound::ToneStarter& tones) {
    world.GateHalfWidth -= GateNarrowing;
    BounceOffPost(world, tones, LeftPostX(world));
    BounceOffPost(world, tones, RightPostX(world));
    if (BallInGateBand(world)) {
        world.GatePostRadius = GateWaitAfterFlyThrough;
        Award(world, input, GateReward, world.GateX, world.GateY);
    }
    if (world.GateHalfWidth < GateCollapseWidth) world.GatePostRadius = GateWaitAfterCollapse;
    if (world.GatePostRadius == GateWaitAfterFlyThrough || world.GatePostRadius == GateWaitAfterCollapse) {
        BurstGate(world, tones);
    }
}

void StepGate(World& world, const TickInput& input, sound::ToneStarter& tones) {
    GrowTowards(world.GatePostRadius, GateLiveRadius, input);
    // The picture shows the gate as it stands now, also live once more in the frame it goes.
    world.Drawn.GatePostRadius = world.GatePostRadius;
    if (world.GatePostRadius == GateLiveRadius) StepLiveGate(world, input, tones);
    if (AtRespawn(world.GatePostRadius)) {
        world.GateX = 100 + world.GameRandom.UpTo(400);
        world.GateY = 150 + world.GameRandom.UpTo(200);
        world.GateHalfWidth = GateFreshHalfWidth;
    }
}

}  // namespace

Centre BumperCentre(const World& world, int i) {
    const auto angle = static_cast<float>(60 * i);
    return {world.RingX + Rounded(CosDeg(angle) * 20.0f), world.RingY + Rounded(SinDeg(angle) * 20.0f)};
}

float LeftPostX(const World& world) {
    return static_cast<float>(world.GateX) - world.GateHalfWidth;
}
float RightPostX(const World& world) {
    return static_cast<float>(world.GateX) + world.GateHalfWidth;
}

void StartExtras(World& world) {
    world.GateX = 300;
    world.GateY = 300;
    world.GatePostRadius = GateWaitAtStart;
    world.GateHalfWidth = GateFreshHalfWidth;
    world.RingSize = RingWaitAtStart;
    world.RingFlags.fill(false);
}

void StepExtras(World& world, const TickInput& input, sound::ToneStarter& tones) {
    StepBumperRing(world, input, tones);
    StepGate(world, input, tones);
}

void BounceOffFixedCircle(World& world, float cx, float cy) {
    const float angle = VectorAngle(world.BallX - cx, world.BallY - cy);
    world.BallX = cx + CosDeg(angle) * FixedPushOut;
    world.BallY = cy + SinDeg(angle) * FixedPushOut;
    PolarVelocity bounce = BounceOffCircle(world.BallX, world.BallY, cx, cy, VectorAngle(world.BallVX, world.BallVY),
                                           VectorLength(world.BallVX, world.BallVY));
    bounce.Speed = std::min(bounce.Speed, ExtraSpeedLimit);
    world.BallVX = CosDeg(bounce.Dir) * bounce.Speed;
    world.BallVY = SinDeg(bounce.Dir) * bounce.Speed;
}

}  // namespace zorblet::world
