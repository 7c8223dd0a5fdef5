#pragma once
// Creating the world's small objects: shots, trail rings, bursts, pop-ups, and a hit
// on the yellow target.

#include <cstdint>
#include <string>

#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::world {

inline constexpr std::size_t ContactBurstParticleLimit = 200;

// The decoration's three (none while the world is not Decorated) and a shot.
void AddTrailRing(World& world, std::int32_t x, std::int32_t y, std::int32_t radius, float brightness,
                  std::int32_t colour);
void AddShot(World& world, std::int32_t x, std::int32_t y, float angle, float speed);
void AddParticle(World& world, std::int32_t colour, std::int32_t x, std::int32_t y, float angle, float rot, float speed,
                 float spin);
void AddPopup(World& world, std::string text, std::int32_t x, std::int32_t y, float angle, float speed,
              std::int32_t halfWidth);
// A new random place for the yellow target.
void PlaceTarget(World& world);

// An award: its points while a game runs, and in any case its pop-up, the points thrown
// upward from (x, y) at most 20 degrees off the vertical.
void Award(World& world, const TickInput& input, std::int32_t points, std::int32_t x, std::int32_t y);

// A shot from the paddle's tip towards the ball, with its click.
void FireShot(World& world, sound::ToneStarter& tones);
// The trail step of a simulated step: a ring on every second one.
void SpawnTrailRing(World& world);
// The paddle-contact burst along the ball's rim, unless 200 particles are already alive.
void SpawnBurstRing(World& world);
// A shot in the full target: burst, crackle, points, pop-up, and the target moves on.
void HitTarget(World& world, const TickInput& input, sound::ToneStarter& tones, Shot& shot);

}  // namespace zorblet::world
