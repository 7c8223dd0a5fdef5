#include "world/tick.h"

#include "world/ball_paddle.h"
#include "world/bumper_ring_gate.h"
#include "world/objects.h"
#include "world/passes.h"

namespace zorblet::world {

namespace {

constexpr std::int32_t AnimAngleStep = 2;
constexpr std::int32_t AnimAnglePeriod = 3600;

// The ball is drawn right after the paddle turns to it: before the contact and the
// extras move it on.
void KeepBallAsDrawn(World& world) {
    world.Drawn.BallX = world.BallX;
    world.Drawn.BallY = world.BallY;
    world.Drawn.BallTintRed = world.BallTintRed;
    world.Drawn.BallTintGreen = world.BallTintGreen;
}

}  // namespace

void StartWorld(World& world, Services& services) {
    world.BallX = 300.0f;
    world.BallY = 100.0f;
    world.PaddleX = 300;
    world.PaddleY = 500;
    world.PaddleRadius = 20;
    world.BallRadius = 20;
    world.BallTintRed = 0;
    world.BallTintGreen = 200;
    PlaceTarget(world, services);
    world.TargetSize = 0.0f;
    world.Score = 0.0f;
}

void ResetWorldForNewGame(World& world, Services& services) {
    ResetBallAndPaddle(world, services);
    world.Score = 0.0f;
    world.TargetSize = 0.0f;
    world.RingSize = RingWaitAtStart;
    world.GatePostRadius = GateWaitAtStart;
    world.Shots.clear();
}

void AdvanceAnimAngle(World& world) {
    world.AnimAngle = (world.AnimAngle + AnimAngleStep) % AnimAnglePeriod;
}

void TickWorld(World& world, const FrameInput& input, Services& services) {
    if (!input.Paused) AdvanceAnimAngle(world);
    if (input.Moving) StepBallAndPaddle(world, input, services);
    UpdatePaddleAngle(world);
    KeepBallAsDrawn(world);
    UpdateTrailRings(world, input);
    UpdateShots(world, input, services);
    UpdateTarget(world, input);
    UpdateParticles(world, input);
    UpdatePopups(world, input);
    PaddleContact(world, input, services);
    StepExtras(world, input, services);
}

}  // namespace zorblet::world
