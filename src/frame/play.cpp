#include "frame/play.h"

#include "world/ball_paddle.h"
#include "world/tick.h"

namespace zorblet::frame {

namespace {

world::FrameInput TickInput(const Mode& mode, const world::MouseState& mouse) {
    world::FrameInput input = WorldInput(mode);
    if (ReadsMouse(mode)) input.Mouse = mouse;
    return input;
}

}  // namespace

bool SteersByMouse(const Run& run) {
    return ReadsMouse(run.Mode) && !world::BallBelowFloor(run.World);
}

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

Effects PlayFrame(Run& run, world::Services& services, const world::MouseState& mouse) {
    const Effects effects = CatchLostBall(run, services);
    world::TickWorld(run.World, TickInput(run.Mode, mouse), services);
    return effects;
}

}  // namespace zorblet::frame
