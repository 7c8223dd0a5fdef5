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

Effects CatchLostBall(Run& run, world::Services& services) {
    if (!world::BallBelowFloor(run.World)) return NoEffect;
    world::ResetBallAndPaddle(run.World, services);
    return LoseBall(run.Mode);
}

std::int32_t CountdownFrame(Mode& mode, world::Services& services) {
    const std::int32_t beepHz = StepCountdown(mode);
    if (beepHz != 0) services.StartTone(sound::ToneEffect::Beep, beepHz);
    return CountdownDigit(mode);
}

Effects PlayFrame(Run& run, world::Services& services, platform::Mouse& mouse) {
    const Effects effects = CatchLostBall(run, services);
    world::TickWorld(run.World, ReadFrameInput(run.Mode, mouse), services);
    return effects;
}

}  // namespace zorblet::frame
