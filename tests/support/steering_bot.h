#pragma once
// How the test bots steer: the paddle kept under the ball, a little to the side that sends
// the ball towards whatever extra is up (else sweeping the field), a shot now and then;
// while dropping the ball, the paddle out of its way in a corner.

#include <algorithm>
#include <cstdint>

#include "shared/game_math.h"
#include "world/tick_input.h"
#include "world/world.h"

namespace zorblet::testing {

inline constexpr int BotShotPeriod = 160, BotButtonFrames = 4;

// The mouse reading of the played-th frame the player steers in.
inline world::MouseState SteerTowardsExtras(const world::World& w, int played, bool dropping) {
    float aimX = 300.0f + 200.0f * SinDeg(static_cast<float>(played) / 7.0f);
    if (w.RingSize > 1.0f) {
        aimX = static_cast<float>(w.RingX);
    } else if (w.GatePostRadius > 0.0f) {
        aimX = static_cast<float>(w.GateX);
    }
    const float offset = std::clamp((aimX - w.BallX) / 25.0f - 2.5f * w.BallVX, -14.0f, 14.0f);
    float wantX = w.BallX + w.BallVX - offset;
    float wantY = 480.0f + 40.0f * SinDeg(static_cast<float>(played) * 0.6f);
    if (dropping) wantX = w.BallX < 300.0f ? 560.0f : 40.0f, wantY = 590.0f;
    const auto move = [](float want, std::int32_t at) {
        return std::clamp(RoundToInt(want - static_cast<float>(at)), -40, 40);
    };
    return {move(wantX, w.PaddleX), move(wantY, w.PaddleY), played % BotShotPeriod < BotButtonFrames && !dropping};
}

}  // namespace zorblet::testing
