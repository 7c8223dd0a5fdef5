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

// The decoration's numbers come from a seed of their own, derived from the game's.
constexpr std::uint32_t DecorationSeedMask = 0x5EED0DEC;

}  // namespace

void SeedWorldRandom(World& world, std::uint32_t seed) {
    world.GameRandom = RandomStream(seed);
    world.DecorationRandom = RandomStream(seed ^ DecorationSeedMask);
}

void StartWorld(World& world, std::uint32_t seed) {
    const bool decorated = world.Decorated;
    world = World{};
    world.Decorated = decorated;
    SeedWorldRandom(world, seed);
    PlaceTarget(world);
    StartExtras(world);
}

void StartGameWorld(World& world, std::uint32_t seed) {
    const bool decorated = world.Decorated;
    world = World{};
    world.Decorated = decorated;
    SeedWorldRandom(world, seed);
    ResetBallAndPaddle(world);
    PlaceTarget(world);
    StartExtras(world);
}

void AdvanceAnimAngle(World& world) {
    world.AnimAngle = (world.AnimAngle + AnimAngleStep) % AnimAnglePeriod;
}

void TickWorld(World& world, const TickInput& input, sound::ToneStarter& tones) {
    if (!input.Paused) AdvanceAnimAngle(world);
    if (input.Moving) StepBallAndPaddle(world, input, tones);
    UpdatePaddleAngle(world);
    KeepBallAsDrawn(world);
    UpdateTrailRings(world, input);
    UpdateShots(world, input, tones);
    UpdateTarget(world, input);
    UpdateParticles(world, input);
    UpdatePopups(world, input);
    PaddleContact(world, input, tones);
    StepExtras(world, input, tones);
}

}  // namespace zorblet::world
