#pragma once
// A world with a canvas and fonts to draw on, stepped as the program's frame steps it.

#include <functional>

#include "render/canvas.h"
#include "render/font.h"
#include "support/fakes.h"
#include "support/world_fakes.h"
#include "world/ball_paddle.h"
#include "world/world.h"
#include "world/world_frame.h"

namespace zorblet::testing {

struct WorldBench {
    world::World World;
    FakeServices Services;
    BoxFontLoader Loader;
    render::Fonts Fonts = render::CreateFonts(Loader);
    render::Canvas Canvas;

    // Called right after each simulated step, before the passes.
    std::function<void()> AfterSimulatedStep;
    // Long runs skip clearing: drawing only overwrites pixels.
    bool ClearEachFrame = true;

    explicit WorldBench(std::uint32_t seed = 1) : Services(seed) {}

    // The world's part of one frame, in the frame's order: lost-ball check, the
    // animation angle, the simulated step, the passes. True when the game ended.
    bool RunFrame() {
        if (ClearEachFrame) Canvas.ClearScreen(0, 0, 0);
        Canvas.BeginDrawing();
        const bool gameOver = world::BallLostCheck(World, Services);
        if (World.Paused == 0) world::AdvanceAnimAngle(World);
        if (world::SimulationActive(World)) {
            world::StepBallAndPaddle(World, Services);
            if (AfterSimulatedStep) AfterSimulatedStep();
        }
        world::StepWorld(World, Services, Canvas, Fonts);
        return gameOver;
    }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) RunFrame();
    }

    // A running game, past its countdown.
    void StartPlaying() {
        World.Lives = 3;
        World.Countdown = 0;
    }

    int PixelsOf(render::Colour colour) const {
        int found = 0;
        for (int y = 0; y < render::Canvas::Height; ++y)
            for (int x = 0; x < render::Canvas::Width; ++x) found += Canvas.PixelAt(x, y) == colour;
        return found;
    }
};

}  // namespace zorblet::testing
