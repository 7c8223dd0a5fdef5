#include "render/world_drawing.h"

#include <algorithm>

#include "render/game_objects.h"
#include "shared/game_math.h"
#include "world/bumper_ring_gate.h"

namespace zorblet::render {

namespace {

constexpr Colour GateColour = RGB(50, 100, 200);

// The pulse of the extras, a full cycle every 90 unpaused frames.
std::int32_t PulseOf(const world::World& world, float depth) {
    return RoundToInt(SinDeg(2.0f * static_cast<float>(world.AnimAngle)) * depth);
}

void DrawBumpers(const world::World& world, Canvas& canvas) {
    const std::int32_t s = PulseOf(world, 25.0f);
    const Colour colour = RGB(150 - s, 25 - s, 25 - s);
    for (float radius : {world.RingSize, world.RingSize - 1.0f}) {
        for (int i = 1; i <= 6; ++i) {
            if (!world.RingFlags[i]) continue;
            const world::Centre centre = world::BumperCentre(world, i);
            canvas.DrawCircle(centre.X, centre.Y, RoundToInt(radius), colour);
        }
    }
}

void DrawPosts(const world::World& world, Canvas& canvas, float radius, std::int32_t leftX, std::int32_t rightX) {
    for (std::int32_t x : {leftX, rightX}) {
        canvas.DrawCircle(x, world.GateY, RoundToInt(radius), GateColour);
        canvas.DrawCircle(x, world.GateY, RoundToInt(radius - 1.0f), GateColour);
    }
}

void DrawBeam(const world::World& world, Canvas& canvas) {
    const std::int32_t s = PulseOf(world, 50.0f);
    canvas.DrawLine(RoundToInt(world::LeftPostX(world) + 4.0f), world.GateY, RoundToInt(2.0f * world.GateHalfWidth) - 8,
                    0, RGB(50 - s, 100 - s, 200 - s));
}

}  // namespace

void DrawTrailRings(const world::World& world, Canvas& canvas) {
    // Rings expire oldest first, so the expired ones come before the rest.
    for (const auto* rings : {&world.Drawn.ExpiredRings, &world.TrailRings}) {
        for (const world::TrailRing& ring : *rings) {
            DrawTrailRing(canvas, ring.X, ring.Y, ring.Radius, ring.Brightness, ring.Colour);
        }
    }
}

void DrawShots(const world::World& world, Canvas& canvas) {
    for (const auto* shots : {&world.Shots, &world.Drawn.HitShots}) {
        for (const world::Shot& shot : *shots) DrawShot(canvas, shot.X, shot.Y, shot.Angle);
    }
}

void DrawParticles(const world::World& world, Canvas& canvas) {
    const std::size_t drawn = std::min(world.Drawn.Particles, world.Particles.size());
    for (std::size_t i = 0; i < drawn; ++i) {
        const world::Particle& particle = world.Particles[i];
        DrawParticle(canvas, particle.X, particle.Y, particle.Rot, particle.Colour);
    }
}

void DrawPopups(const world::World& world, Canvas& canvas, const Fonts& fonts) {
    canvas.SetFont(fonts.FontBold14);
    canvas.SetColour(TextColour);
    const std::size_t drawn = std::min(world.Drawn.Popups, world.Popups.size());
    for (std::size_t i = 0; i < drawn; ++i) {
        const world::Popup& popup = world.Popups[i];
        DrawPopup(canvas, popup.Text, popup.X, popup.Y, popup.HalfWidth);
    }
}

void DrawYellowTarget(const world::World& world, Canvas& canvas) {
    if (world.TargetSize >= 1.0f) DrawTarget(canvas, world.TargetX, world.TargetY, world.TargetSize, world.AnimAngle);
}

void DrawBumperRing(const world::World& world, Canvas& canvas) {
    if (world.RingSize > 1.0f) DrawBumpers(world, canvas);
}

void DrawGate(const world::World& world, Canvas& canvas) {
    const float radius = world.Drawn.GatePostRadius;
    if (radius == world::GateLiveRadius) {
        DrawBeam(world, canvas);
        DrawPosts(world, canvas, radius, RoundToInt(world::LeftPostX(world)), RoundToInt(world::RightPostX(world)));
    } else if (radius > 0.0f) {
        // Growing in: the posts slide out from the centre, 15 pixels per unit of radius.
        const std::int32_t offset = RoundToInt(radius * 15.0f);
        DrawPosts(world, canvas, radius, world.GateX - offset, world.GateX + offset);
    }
}

void DrawWorld(const world::World& world, Canvas& canvas, const Fonts& fonts) {
    DrawTrailRings(world, canvas);
    DrawBall(canvas, world.Drawn.BallX, world.Drawn.BallY, world.BallRadius, world.Drawn.BallTintRed,
             world.Drawn.BallTintGreen);
    DrawPaddle(canvas, world.PaddleX, world.PaddleY, world.PaddleRadius, world.PaddleAngle);
    DrawShots(world, canvas);
    DrawYellowTarget(world, canvas);
    DrawParticles(world, canvas);
    DrawPopups(world, canvas, fonts);
    DrawBumperRing(world, canvas);
    DrawGate(world, canvas);
}

}  // namespace zorblet::render
