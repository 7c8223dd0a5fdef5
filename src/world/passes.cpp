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
    float vx = element.speed * CosDeg(element.angle);
    float vy = element.speed * SinDeg(element.angle);
    if (!paused) {
        vy += Gravity;
        element.x += vx;
        element.y += vy;
    }
    if (element.x < left) {
        vx = -vx;
        element.x = left;
    }
    if (element.x > right) {
        vx = -vx;
        element.x = right;
    }
    element.angle = VectorAngle(vx, vy);
    element.speed = VectorLength(vx, vy);
}

bool AboveFloor(float y) {
    return !(y > FloorLine);
}

bool ShotInFullTarget(const World& world, const Shot& shot) {
    return PointDistance(Rounded(shot.x), Rounded(shot.y), world.TargetX, world.TargetY) < TargetFullSize &&
           world.TargetSize == TargetFullSize;
}

}  // namespace

void UpdateTrailRings(World& world, const FrameInput& input) {
    world.Drawn.ExpiredRings.clear();
    WalkList(world.TrailRings, [&](TrailRing& ring) {
        if (!input.Paused) {
            ring.radius -= TrailShrink;
            ring.brightness -= TrailFade;
        }
        if (ring.radius > TrailEndRadius) return true;
        world.Drawn.ExpiredRings.push_back(ring);
        return false;
    });
}

void UpdateShots(World& world, const FrameInput& input, Services& services) {
    world.Drawn.HitShots.clear();
    WalkList(world.Shots, [&](Shot& shot) {
        MoveBetweenWalls(shot, input.Paused, WallLeft, WallRight);
        if (ShotInFullTarget(world, shot)) {
            world.Drawn.HitShots.push_back(shot);
            HitTarget(world, input, services, shot);
        }
        return AboveFloor(shot.y);
    });
}

void UpdateTarget(World& world, const FrameInput& input) {
    if (world.TargetSize < TargetFullSize && input.Moving) {
        world.TargetSize += TargetGrowth;
        if (world.TargetSize > TargetFullSize) world.TargetSize = TargetFullSize;
    }
}

void UpdateParticles(World& world, const FrameInput& input) {
    WalkList(world.Particles, [&](Particle& particle) {
        if (!input.Paused) particle.rot += particle.spin;
        MoveBetweenWalls(particle, input.Paused, WallLeft, WallRight);
        return AboveFloor(particle.y);
    });
    world.Drawn.Particles = world.Particles.size();
}

void UpdatePopups(World& world, const FrameInput& input) {
    WalkList(world.Popups, [&](Popup& popup) {
        const auto h = static_cast<float>(popup.halfWidth);
        MoveBetweenWalls(popup, input.Paused, h, WallRight - h);
        return AboveFloor(popup.y);
    });
    world.Drawn.Popups = world.Popups.size();
}

}  // namespace zorblet::world
