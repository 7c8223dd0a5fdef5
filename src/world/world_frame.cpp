#include "world/world_frame.h"

#include "world/ball_paddle.h"
#include "world/bumper_ring_gate.h"
#include "world/objects.h"
#include "world/passes.h"

namespace zorblet::world {

namespace {

constexpr std::int32_t AnimAngleStep = 2;
constexpr std::int32_t AnimAnglePeriod = 3600;

}  // namespace

void StartWorld(World& world, Services& services) {
    world.BallX = 300.0f;
    world.BallY = 100.0f;
    world.PaddleX = 300;
    world.PaddleY = 500;
    world.PaddleRadius = 20;
    world.BallRadius = 20;
    world.Countdown = CountdownStart;
    world.BallTintRed = 0;
    world.BallTintGreen = 200;
    PlaceTarget(world, services);
    world.TargetSize = 0.0f;
    world.Lives = 0;
    world.Score = 0.0f;
}

void StartNewGame(World& world, Services& services) {
    world.Lives = 3;
    world.Countdown = CountdownStart;
    ResetBallAndPaddle(world, services);
    world.Score = 0.0f;
    world.TargetSize = 0.0f;
    world.RingSize = -800.0f;
    world.GatePostRadius = -400.0f;
    world.Shots.clear();
}

void AdvanceAnimAngle(GameState& state) {
    state.AnimAngle = (state.AnimAngle + AnimAngleStep) % AnimAnglePeriod;
}

void StepWorld(World& world, Services& services, render::Canvas& canvas, render::Fonts& fonts) {
    UpdatePaddleAngle(world);
    UpdateTrailRings(world, canvas);
    DrawBallAndPaddle(world, canvas);
    UpdateShots(world, services, canvas);
    UpdateTarget(world, canvas);
    UpdateParticles(world, canvas);
    UpdatePopups(world, canvas, fonts);
    PaddleContact(world, services);
    StepExtras(world, services, canvas);
}

}  // namespace zorblet::world
