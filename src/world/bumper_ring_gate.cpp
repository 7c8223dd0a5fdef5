#include "world/bumper_ring_gate.h"

#include <algorithm>

#include "render/colour.h"
#include "world/collision.h"
#include "world/geometry.h"
#include "world/objects.h"

namespace zorblet::world {

namespace {

constexpr float Growth = 0.1f;
constexpr float FixedPushOut = 30.0f;
constexpr float ExtraSpeedLimit = 10.0f;
constexpr float RingWaiting = -800.0f;
constexpr float GateWaitAfterFlyThrough = -500.0f;
constexpr float GateWaitAfterCollapse = -450.0f;
constexpr std::int32_t RespawnAt = -300;
constexpr float GateNarrowing = 0.02f;
constexpr float GateCollapseWidth = 26.0f;
constexpr float GateFreshHalfWidth = 75.0f;
constexpr float GateMargin = 20.0f;
constexpr float GateBand = 5.0f;
constexpr std::int32_t BumperRadius = 10;
constexpr std::int32_t BumperReward = 300;
constexpr std::int32_t GateReward = 1000;
constexpr std::int32_t PostClickHz = 1100;
constexpr render::Colour BumperBurstColour = render::RGB(150, 25, 25);
constexpr render::Colour GateColour = render::RGB(50, 100, 200);
constexpr render::Colour GateBurstColour = render::RGB(0, 75, 150);

// Adds the growth step while the world moves, stopping exactly at the live value.
void GrowTowards(float& counter, float live, const World& world) {
    if (counter < live && SimulationActive(world)) {
        counter += Growth;
        if (counter > live) counter = live;
    }
}

// The pulse of the extras, a full cycle every 90 unpaused frames.
std::int32_t PulseOf(const World& world, float depth) {
    return Rounded(SinDeg(2.0f * static_cast<float>(world.AnimAngle)) * depth);
}

struct Centre {
    std::int32_t X, Y;
};

// Bumper i (1 to 6) on a hexagon of circumradius 20, so neighbours touch.
Centre BumperCentre(const World& world, int i) {
    const auto angle = static_cast<float>(60 * i);
    return {world.RingX + Rounded(CosDeg(angle) * 20.0f), world.RingY + Rounded(SinDeg(angle) * 20.0f)};
}

bool BallTouches(const World& world, std::int32_t x, std::int32_t y, float reach) {
    return PointDistance(Rounded(world.BallX), Rounded(world.BallY), x, y) < reach;
}

void BurstFromBumper(World& world, Services& services, Centre centre) {
    for (int j = 1; j <= 36; ++j) {
        const std::int32_t speed = services.Random(10);
        const std::int32_t spin = services.Random(10);
        AddParticle(world, BumperBurstColour, centre.X, centre.Y, static_cast<float>(10 * j), 0.0f,
                    1.0f + static_cast<float>(speed) / 20.0f, static_cast<float>(spin - 5));
    }
}

void KnockOutBumper(World& world, Services& services, int i, Centre centre) {
    BounceOffFixedCircle(world, static_cast<float>(centre.X), static_cast<float>(centre.Y));
    world.RingFlags[i] = 0;
    if (world.Lives > 0) world.Score += static_cast<float>(BumperReward);
    AddAwardPopup(world, services, "300", centre.X, centre.Y);
    services.StartTone(sound::ToneEffect::Crackle, 1);
    BurstFromBumper(world, services, centre);
    const bool allGone = std::all_of(world.RingFlags.begin() + 1, world.RingFlags.end(), [](auto f) { return f == 0; });
    if (allGone) world.RingSize = RingWaiting;
}

// At most one bumper per frame: those after the one hit wait for the next frame.
void HitBumpers(World& world, Services& services) {
    for (int i = 1; i <= 6; ++i) {
        if (world.RingFlags[i] == 0) continue;
        const Centre centre = BumperCentre(world, i);
        if (!BallTouches(world, centre.X, centre.Y, static_cast<float>(world.BallRadius + BumperRadius))) continue;
        KnockOutBumper(world, services, i, centre);
        return;
    }
}

void DrawBumpers(const World& world, render::Canvas& canvas) {
    const std::int32_t s = PulseOf(world, 25.0f);
    const render::Colour colour = render::RGB(150 - s, 25 - s, 25 - s);
    for (float radius : {world.RingSize, world.RingSize - 1.0f}) {
        for (int i = 1; i <= 6; ++i) {
            if (world.RingFlags[i] == 0) continue;
            const Centre centre = BumperCentre(world, i);
            canvas.DrawCircle(centre.X, centre.Y, Rounded(radius), colour);
        }
    }
}

// Near the respawn value the counter stays on it for about ten frames; each draws a new
// place and the last one stands.
bool AtRespawn(float counter) {
    return Rounded(counter) == RespawnAt;
}

void StepBumperRing(World& world, Services& services, render::Canvas& canvas) {
    GrowTowards(world.RingSize, RingLiveSize, world);
    if (world.RingSize == RingLiveSize) HitBumpers(world, services);
    if (world.RingSize > 1.0f) DrawBumpers(world, canvas);
    if (AtRespawn(world.RingSize)) {
        world.RingX = 100 + services.Random(400);
        world.RingY = 200 + services.Random(200);
        std::fill(world.RingFlags.begin() + 1, world.RingFlags.end(), 1);
    }
}

float LeftPostX(const World& world) {
    return static_cast<float>(world.GateX) - world.GateHalfWidth;
}
float RightPostX(const World& world) {
    return static_cast<float>(world.GateX) + world.GateHalfWidth;
}

void BounceOffPost(World& world, Services& services, float postX) {
    const float reach = static_cast<float>(world.BallRadius) + world.GatePostRadius;
    if (!BallTouches(world, Rounded(postX), world.GateY, reach)) return;
    BounceOffFixedCircle(world, postX, static_cast<float>(world.GateY));
    services.StartTone(sound::ToneEffect::Click, PostClickHz);
}

void DrawPosts(const World& world, render::Canvas& canvas, std::int32_t leftX, std::int32_t rightX) {
    for (std::int32_t x : {leftX, rightX}) {
        canvas.DrawCircle(x, world.GateY, Rounded(world.GatePostRadius), GateColour);
        canvas.DrawCircle(x, world.GateY, Rounded(world.GatePostRadius - 1.0f), GateColour);
    }
}

void DrawBeam(const World& world, render::Canvas& canvas) {
    const std::int32_t s = PulseOf(world, 50.0f);
    canvas.DrawLine(Rounded(LeftPostX(world) + 4.0f), world.GateY, Rounded(2.0f * world.GateHalfWidth) - 8, 0,
                    render::RGB(50 - s, 100 - s, 200 - s));
}

// The ball's centre strictly inside the band along the beam, 20 pixels in from each post.
bool BallInGateBand(const World& world) {
    const auto gateY = static_cast<float>(world.GateY);
    return LeftPostX(world) + GateMargin < world.BallX && world.BallX < RightPostX(world) - GateMargin &&
           gateY - GateBand < world.BallY && world.BallY < gateY + GateBand;
}

void AddGateParticle(World& world, Services& services, std::int32_t x, float angle) {
    const std::int32_t speed = services.Random(10);
    const std::int32_t spin = services.Random(10);
    AddParticle(world, GateBurstColour, x, world.GateY, angle, 0.0f, static_cast<float>(speed) / 20.0f,
                static_cast<float>(spin - 5));
}

void BurstFromPost(World& world, Services& services, std::int32_t x) {
    for (int k = 1; k <= 18; ++k) AddGateParticle(world, services, x, static_cast<float>(20 * k));
}

// The gate ends in a crackle and a burst at both posts and along the beam.
void BurstGate(World& world, Services& services) {
    services.StartTone(sound::ToneEffect::Crackle, 1);
    BurstFromPost(world, services, Rounded(LeftPostX(world)));
    const std::int32_t n = Rounded(world.GateHalfWidth / 2.0f);
    for (std::int32_t k = 1; k <= n - 1; ++k) {
        AddGateParticle(world, services, Rounded(LeftPostX(world) + 4.0f * static_cast<float>(k)), 0.0f);
    }
    BurstFromPost(world, services, Rounded(RightPostX(world)));
}

// A live gate narrows in every frame, paused or not, until it is flown through or collapses.
void StepLiveGate(World& world, Services& services, render::Canvas& canvas) {
    world.GateHalfWidth -= GateNarrowing;
    BounceOffPost(world, services, LeftPostX(world));
    BounceOffPost(world, services, RightPostX(world));
    DrawBeam(world, canvas);
    DrawPosts(world, canvas, Rounded(LeftPostX(world)), Rounded(RightPostX(world)));
    if (BallInGateBand(world)) {
        world.GatePostRadius = GateWaitAfterFlyThrough;
        if (world.Lives > 0) world.Score += static_cast<float>(GateReward);
        AddAwardPopup(world, services, "1000", world.GateX, world.GateY);
    }
    if (world.GateHalfWidth < GateCollapseWidth) world.GatePostRadius = GateWaitAfterCollapse;
    if (world.GatePostRadius == GateWaitAfterFlyThrough || world.GatePostRadius == GateWaitAfterCollapse) {
        BurstGate(world, services);
    }
}

void StepGate(World& world, Services& services, render::Canvas& canvas) {
    GrowTowards(world.GatePostRadius, GateLiveRadius, world);
    if (world.GatePostRadius == GateLiveRadius) {
        StepLiveGate(world, services, canvas);
    } else if (world.GatePostRadius > 0.0f) {
        // Growing in: the posts slide out from the centre, 15 pixels per unit of radius.
        const std::int32_t offset = Rounded(world.GatePostRadius * 15.0f);
        DrawPosts(world, canvas, world.GateX - offset, world.GateX + offset);
    }
    if (AtRespawn(world.GatePostRadius)) {
        world.GateX = 100 + services.Random(400);
        world.GateY = 150 + services.Random(200);
        world.GateHalfWidth = GateFreshHalfWidth;
    }
}

}  // namespace

void StartExtras(World& world) {
    world.GateX = 300;
    world.GateY = 300;
    world.GatePostRadius = -400.0f;
    world.GateHalfWidth = GateFreshHalfWidth;
    world.RingSize = RingWaiting;
    world.RingFlags.fill(0);
}

void StepExtras(World& world, Services& services, render::Canvas& canvas) {
    StepBumperRing(world, services, canvas);
    StepGate(world, services, canvas);
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
