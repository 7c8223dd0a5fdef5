#pragma once
// A player for the game benchmark: presses F2 once, then stands in for the mouse, keeping
// the paddle under the ball and firing now and then, so that a game runs for as long as
// the benchmark measures.

#include "frame/game.h"
#include "platform/keyboard.h"
#include "platform/mouse.h"

namespace zorblet::bench {

// Holds F2 for a few readings shortly after start-up, and no key after that.
class StartingKeyboard final : public platform::Keyboard {
public:
    void ReadSnapshot(platform::KeySnapshot& snapshot) override;

private:
    int readings_ = 0;
};

// Keeps the paddle on its start line right under where the ball will be, a little off
// centre so that the bounces send the ball from wall to wall; presses the left button
// for a few frames every so often.
class SteeringBot final : public platform::Mouse {
public:
    // At the head of each frame: the motion and button this frame's read will report.
    void Plan(const frame::Game& game);
    platform::MouseReading Read() override;
    void Release() override {}

private:
    platform::MouseReading planned_;
    int frames_ = 0;
};

}  // namespace zorblet::bench
