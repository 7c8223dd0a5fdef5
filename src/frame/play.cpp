#include "frame/play.h"

#include "world/ball_paddle.h"
#include "world/tick.h"

namespace zorblet::frame {

namespace {

world::FrameInput ReadFrameInput(const Mode& mode, platform::Mouse& mouse) {
    world::FrameInput input = WorldInput(mode);
    if (ReadsMouse(mode)) {
        const platform::MouseReading reading = mouse.Read();
        input.Mouse = {reading.DeltaX, reading.DeltaY, reading.LeftButton};
    }
    return input;
}

}  // namespace

void CatchLostBall(Run& run, world::Services& services, const std::function<void()>& gameOver) {
    if (!world::BallBelowFloor(run.World)) return;
    world::ResetBallAndPaddle(run.World, services);
    const Effects effects = LoseBall(run.Mode);
    if ((effects & LifeLostTone) != 0) services.StartTone(sound::ToneEffect::LifeLost, 1);
    if ((effects & GameOver) != 0) gameOver();
}

std::int32_t CountdownFrame(Mode& mode, world::Services& services) {
    const std::int32_t beepHz = StepCountdown(mode);
    if (beepHz != 0) services.StartTone(sound::ToneEffect::Beep, beepHz);
    return CountdownDigit(mode);
}

void PlayFrame(Run& run, world::Services& services, platform::Mouse& mouse, const std::function<void()>& gameOver) {
    CatchLostBall(run, services, gameOver);
    world::TickWorld(run.World, ReadFrameInput(run.Mode, mouse), services);
}

}  // namespace zorblet::frame
