#include "world/passes.h"

#include "render/game_objects.h"
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

void UpdateTrailRings(World& world, render::Canvas& canvas) {
    const bool paused = world.Paused != 0;
    WalkList(world.TrailRings, [&](TrailRing& ring) {
        if (!paused) {
            ring.radius -= TrailShrink;
            ring.brightness -= TrailFade;
        }
        render::DrawTrailRing(canvas, ring.x, ring.y, ring.radius, ring.brightness, ring.colour);
        return ring.radius > TrailEndRadius;
    });
}

void UpdateShots(World& world, Services& services, render::Canvas& canvas) {
    const bool paused = world.Paused != 0;
    WalkList(world.Shots, [&](Shot& shot) {
        MoveBetweenWalls(shot, paused, WallLeft, WallRight);
        render::DrawShot(canvas, shot.x, shot.y, shot.angle);
        if (ShotInFullTarget(world, shot)) HitTarget(world, services, shot);
        return AboveFloor(shot.y);
    });
}

void UpdateTarget(World& world, render::Canvas& canvas) {
    if (world.TargetSize < TargetFullSize && SimulationActive(world)) {
        world.TargetSize += TargetGrowth;
        if (world.TargetSize > TargetFullSize) world.TargetSize = TargetFullSize;
    }
    if (world.TargetSize >= 1.0f) {
        render::DrawTarget(canvas, world.TargetX, world.TargetY, world.TargetSize, world.AnimAngle);
    }
}

void UpdateParticles(World& world, render::Canvas& canvas) {
    const bool paused = world.Paused != 0;
    WalkList(world.Particles, [&](Particle& particle) {
        if (!paused) particle.rot += particle.spin;
        MoveBetweenWalls(particle, paused, WallLeft, WallRight);
        render::DrawParticle(canvas, particle.x, particle.y, particle.rot, particle.colour);
        return AboveFloor(particle.y);
    });
}

void UpdatePopups(World& world, render::Canvas& canvas, render::Fonts& fonts) {
    canvas.SetFont(fonts.FontBold14);
    canvas.SetColour(render::TextColour);
    const bool paused = world.Paused != 0;
    WalkList(world.Popups, [&](Popup& popup) {
        // The text stays whole on screen: its centre keeps half its width from each wall.
        const auto h = static_cast<float>(canvas.TextWidth(popup.text) / 2);
        MoveBetweenWalls(popup, paused, h, WallRight - h);
        render::DrawPopup(canvas, popup.text, popup.x, popup.y);
        return AboveFloor(popup.y);
    });
}

}  // namespace zorblet::world
