#pragma once
// The picture of the world, in the frame's order: later objects over earlier ones.

#include "render/canvas.h"
#include "render/font.h"
#include "world/world.h"

namespace zorblet::render {

// Trail rings, ball, paddle, shots, target, particles, pop-ups, bumper ring and gate,
// as the tick of this frame left them (world.Drawn: where it moved things on after
// their turn to be drawn).
void DrawWorld(const world::World& world, Canvas& canvas, const Fonts& fonts);

// Its steps, in that order.
void DrawTrailRings(const world::World& world, Canvas& canvas);
void DrawShots(const world::World& world, Canvas& canvas);
// The yellow target, once it has grown to radius 1.
void DrawYellowTarget(const world::World& world, Canvas& canvas);
void DrawParticles(const world::World& world, Canvas& canvas);
void DrawPopups(const world::World& world, Canvas& canvas, const Fonts& fonts);
// The bumpers standing, once the ring has grown past radius 1.
void DrawBumperRing(const world::World& world, Canvas& canvas);
void DrawGate(const world::World& world, Canvas& canvas);

}  // namespace zorblet::render
