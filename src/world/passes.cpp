#include "world/passes.h"

#include "world/geometry.h"
#include "world/objects.h"

namespace zorblet::world {

namespace {

constexpr float TargetGrowth = 0.2f;
constexpr float TrailShrink = 0.2f;
constexpr float TrailFade = 0.01f;
constexpr float TrailEndRadius = 5.0f;
constexpr float WallLeft = 0.0f;
constexpr auto WallRight = static_cast<float>(PlayfieldSize);

// The motion shots, particles and pop-ups share: polar to velocity, gravity and travel
// (unless paused), the side walls at left and right, and back to polar.
template <typename Element>
void MoveBetweenWalls(Element& element, bool paused, float left, float right) {
    float sine = 0.0f, cosine = 0.0f;
    SinCosDeg(element.Angle, sine, cosine);
    float vx = element.Speed * cosine;
    float vy = element.Speed * sine;
    if (!paused) {
        vy += Gravity;
        element.X += vx;
        element.Y += vy;
    }
    if (element.X < left) {
        vx = -vx;
        element.X = left;
    }
    if (element.X > right) {
        vx = -vx;
        element.X = right;
    }
    element.Angle = VectorAngle(vx, vy);
    element.Speed = VectorLength(vx, vy);
}

bool AboveFloor(float y) {
    return !(y > FloorLine);
}

bool ShotInFullTarget(const World& world, const Shot& shot) {
    return PointDistance(Rounded(shot.X), Rounded(shot.Y), world.TargetX, world.TargetY) < TargetFullSize &&
           world.TargetSize == TargetFullSize;
}

}  // namespace

void UpdateTrailRings(World& world, const TickInput& input) {
    world.Drawn.ExpiredRings.clear();
    WalkList(world.TrailRings, [&](TrailRing& ring) {
        if (!input.Paused) {
            ring.Radius -= TrailShrink;
            ring.Brightness -= TrailFade;
        }
        if (ring.Radius > TrailEndRadius) return true;
        world.Drawn.ExpiredRings.push_back(ring);
        return false;
    });
}

void UpdateShots(World& world, const TickInput& input, sound::ToneStarter& tones) {
    world.Drawn.HitShots.clear();
    WalkList(world.Shots, [&](Shot& shot) {
        MoveBetweenWalls(shot, input.Paused, WallLeft, WallRight);
        if (ShotInFullTarget(world, shot)) {
            world.Drawn.HitShots.push_back(shot);
            HitTarget(world, input, tones, shot);
        }
        return AboveFloor(shot.Y);
    });
}

void UpdateTarget(World& world, const TickInput& input) {
    if (world.TargetSize < TargetFullSize && input.Moving) {
        world.TargetSize += TargetGrowth;
        if (world.TargetSize > TargetFullSize) world.TargetSize = TargetFullSize;
    }
}

void UpdateParticles(World& world, const TickInput& input) {
    WalkList(world.Particles, [&](Particle& particle) {
        if (!input.Paused) particle.Rot += particle.Spin;
        MoveBetweenWalls(particle, input.Paused, WallLeft, WallRight);
        return AboveFloor(particle.Y);
    });
    world.Drawn.Particles = world.Particles.size();
}

void UpdatePopups(World& world, const TickInput& input) {
    WalkList(world.Popups, [&](Popup& popup) {
        const auto h = static_cast<float>(popup.HalfWidth);
        MoveBetweenWalls(popup, input.Paused, h, WallRight - h);
        return AboveFloor(popup.Y);
    });
    world.Drawn.Popups = world.Popups.size();
}

}  // namespace zorblet::world
