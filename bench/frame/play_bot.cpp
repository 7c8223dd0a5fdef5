#include "frame/play_bot.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorblet::bench {

namespace {

constexpr int FirstF2Reading = 10;
constexpr int F2HeldReadings = 3;

constexpr int PaddleLine = 500;
constexpr float OffCentreAmplitude = 12.0f;
constexpr int OffCentrePeriodFrames = 700;
constexpr int ShotPeriodFrames = 90;
constexpr int ButtonHeldFrames = 4;

// Where this frame's step will put the ball, held inside the walls.
float NextBallX(const frame::Game& game) {
    const auto margin = static_cast<float>(game.Run.World.BallRadius);
    return std::clamp(game.Run.World.BallX + game.Run.World.BallVX, margin,
                      static_cast<float>(world::PlayfieldSize) - margin);
}

float OffCentre(int frame) {
    const double phase = 2.0 * std::numbers::pi * frame / OffCentrePeriodFrames;
    return OffCentreAmplitude * static_cast<float>(std::sin(phase));
}

}  // namespace

void StartingKeyboard::ReadSnapshot(platform::KeySnapshot& snapshot) {
    snapshot.fill(false);
    snapshot[platform::Key::F2] = readings_ >= FirstF2Reading && readings_ < FirstF2Reading + F2HeldReadings;
    ++readings_;
}

void SteeringBot::Plan(const frame::Game& game) {
    ++frames_;
    const auto aim = static_cast<int>(std::lrint(NextBallX(game) + OffCentre(frames_)));
    planned_.DeltaX = aim - game.Run.World.PaddleX;
    planned_.DeltaY = PaddleLine - game.Run.World.PaddleY;
    planned_.LeftButton = frames_ % ShotPeriodFrames < ButtonHeldFrames;
}

platform::MouseReading SteeringBot::Read() {
    const platform::MouseReading reading = planned_;
    planned_.DeltaX = planned_.DeltaY = 0;  // the motion is reported once
    return reading;
}

}  // namespace zorblet::bench
