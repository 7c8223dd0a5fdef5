#pragma once
// The two extra objects the ball scores on: the ring of six bumpers and the gate.

#include <cstdint>

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

// Their values when the program starts: both waiting, the gate in the middle.
void StartExtras(World& world);

// Each frame, last of the world's passes: the bumper ring, then the gate; each grows,
// bounces and scores, and respawns on its timer.
void StepExtras(World& world, const TickInput& input, sound::ToneStarter& tones);

// Pushes the ball out to 30 pixels from a fixed circle's centre and bounces it off,
// capped at 10 pixels per frame.
void BounceOffFixedCircle(World& world, float cx, float cy);

struct Centre {
    std::int32_t X, Y;
};
// Bumper i (1 to 6) on a hexagon of circumradius 20, so neighbours touch.
Centre BumperCentre(const World& world, int i);
// The centres of the gate's posts along its beam.
float LeftPostX(const World& world);
float RightPostX(const World& world);

}  // namespace zorblet::world
