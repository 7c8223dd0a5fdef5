#include "world/objects.h"

#include <utility>

#include "world/geometry.h"

namespace zorblet::world {

namespace {

constexpr float ShotSpeed = 4.0f;
constexpr int TargetBurstParticles = 72;
constexpr int ContactBurstParticles = 18;
constexpr float TargetAfterHit = -40.0f;
constexpr float ShotRemovedY = 700.0f;  // below the floor line: this update's floor test removes it

void BurstFromTarget(World& world) {
    for (int i = 1; i <= TargetBurstParticles; ++i) {
        const float angle = static_cast<float>(5 * i);
        const std::int32_t r1 = world.DecorationRandom.UpTo(10);
        const std::int32_t r2 = world.DecorationRandom.UpTo(10);
        AddParticle(world, RGB(150, 150, 0), world.TargetX + Rounded(10.0f * CosDeg(angle)),
                    world.TargetY + Rounded(10.0f * SinDeg(angle)), angle, 0.0f, 1.0f + static_cast<float>(r1) / 20.0f,
                    static_cast<float>(r2 - 5));
    }
}

}  // namespace

void AddTrailRing(World& world, std::int32_t x, std::int32_t y, std::int32_t radius, float brightness,
                  std::int32_t colour) {
    if (!world.Decorated) return;
    world.TrailRings.push_back(
        {static_cast<float>(x), static_cast<float>(y), static_cast<float>(radius), brightness, colour});
}

void AddShot(World& world, std::int32_t x, std::int32_t y, float angle, float speed) {
    world.Shots.push_back({static_cast<float>(x), static_cast<float>(y), angle, speed});
}

void AddParticle(World& world, std::int32_t colour, std::int32_t x, std::int32_t y, float angle, float rot, float speed,
                 float spin) {
    if (!world.Decorated) return;
    world.Particles.push_back({colour, static_cast<float>(x), static_cast<float>(y), angle, rot, speed, spin});
}

void AddPopup(World& world, std::string text, std::int32_t x, std::int32_t y, float angle, float speed,
              std::int32_t halfWidth) {
    if (!world.Decorated) return;
    world.Popups.push_back({std::move(text), static_cast<float>(x), static_cast<float>(y), angle, speed, halfWidth});
}

void PlaceTarget(World& world) {
    world.TargetX = 30 + world.GameRandom.UpTo(540);
    world.TargetY = 30 + world.GameRandom.UpTo(340);
}

void Award(World& world, const TickInput& input, std::int32_t points, std::int32_t x, std::int32_t y) {
    if (input.InGame) world.Score += static_cast<float>(points);
    std::string text = DecimalText(points);
    const std::int32_t halfWidth = PopupHalfWidth(text);
    const float angle = static_cast<float>(250 + world.DecorationRandom.UpTo(40));
    AddPopup(world, std::move(text), x, y, angle, 2.0f, halfWidth);
}

void FireShot(World& world, sound::ToneStarter& tones) {
    tones.StartTone(sound::ToneEffect::Click, 670);
    const float angle =
        VectorAngle(world.BallX - static_cast<float>(world.PaddleX), world.BallY - static_cast<float>(world.PaddleY));
    const auto radius = static_cast<float>(world.PaddleRadius);
    AddShot(world, world.PaddleX + Rounded(radius * CosDeg(angle)), world.PaddleY + Rounded(radius * SinDeg(angle)),
            angle, ShotSpeed);
}

void SpawnTrailRing(World& world) {
    world.TrailToggle = !world.TrailToggle;
    if (world.TrailToggle) {
        AddTrailRing(world, Rounded(world.BallX), Rounded(world.BallY), 20, 1.0f,
                     RGB(world.BallTintRed, world.BallTintGreen, 0));
    }
}

void SpawnBurstRing(World& world) {
    if (world.Particles.size() >= ContactBurstParticleLimit) return;
    const std::int32_t colour = BallColour(world.BallTintRed, world.BallTintGreen);
    const auto radius = static_cast<float>(world.BallRadius);
    for (int i = 1; i <= ContactBurstParticles; ++i) {
        const float angle = static_cast<float>(20 * i);
        const std::int32_t r = world.DecorationRandom.UpTo(2);
        AddParticle(world, colour, Rounded(world.BallX + radius * CosDeg(angle)),
                    Rounded(world.BallY + radius * SinDeg(angle)), angle, angle + 90.0f, 0.5f,
                    static_cast<float>(r - 1) / 2.0f);
    }
}

void HitTarget(World& world, const TickInput& input, sound::ToneStarter& tones, Shot& shot) {
    BurstFromTarget(world);
    tones.StartTone(sound::ToneEffect::Crackle, 1);
    Award(world, input, TargetReward, world.TargetX, world.TargetY);
    PlaceTarget(world);
    shot.Y = ShotRemovedY;
    world.TargetSize = TargetAfterHit;
}

}  // namespace zorblet::world
