#pragma once
// The two extra objects the ball scores on: the ring of six bumpers and the gate.

#include "render/canvas.h"
#include "world/services.h"
#include "world/world.h"

namespace zorblet::world {

inline constexpr float RingLiveSize = 10.0f;
inline constexpr float GateLiveRadius = 5.0f;

// Their values when the program starts: both waiting, the gate in the middle.
void StartExtras(World& world);

// Each frame, last of the world's passes: the bumper ring, then the gate; each grows,
// bounces and scores, is drawn, and respawns on its timer.
void StepExtras(World& world, Services& services, render::Canvas& canvas);

// Pushes the ball out to 30 pixels from a fixed circle's centre and bounces it off,
// capped at 10 pixels per frame.
void BounceOffFixedCircle(World& world, float cx, float cy);

}  // namespace zorblet::world
