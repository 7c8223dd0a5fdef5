#pragma once
// A world with a canvas and fonts to draw on, stepped and drawn as the program's frame
// steps and draws it.

#include "frame/game.h"
#include "frame/play.h"
#include "render/canvas.h"
#include "render/font.h"
#include "render/world_drawing.h"
#include "support/fakes.h"
#include "support/world_fakes.h"
#include "world/world.h"

namespace zorblet::testing {

struct WorldBench {
    frame::Run Run;
    world::World& World = Run.World;
    frame::Mode& Mode = Run.Mode;
    FakeServices Services;
    RecordingMouse Mouse;  // what the player's reads report: Mouse.Next
    int MouseReads = 0;
    BoxFontLoader Loader;
    render::Fonts Fonts = render::CreateFonts(Loader);
    render::Canvas Canvas;

    // Long runs skip clearing: drawing only overwrites pixels.
    bool ClearEachFrame = true;

    explicit WorldBench(std::uint32_t seed = 1) : Services(seed) {}
    WorldBench(const WorldBench&) = delete;

    // The world's part of one frame, in the frame's order, then its picture. True when
    // the game ended.
    bool RunFrame() {
        world::MouseState mouse;
        if (frame::SteersByMouse(Run)) {
            const platform::MouseReading reading = Mouse.Read();
            mouse = {reading.DeltaX, reading.DeltaY, reading.LeftButton};
            ++MouseReads;
        }
        const frame::Effects effects = frame::PlayFrame(Run, Services, mouse);
        // The one effect of a lost ball the world's tests listen for; the frame plays it.
        if ((effects & frame::LifeLostTone) != 0) Services.StartTone(sound::ToneEffect::LifeLost, 1);
        const bool gameOver = (effects & frame::GameOver) != 0;
        if (ClearEachFrame) Canvas.ClearScreen(0, 0, 0);
        Canvas.BeginDrawing();
        render::DrawWorld(World, Canvas, Fonts);
        return gameOver;
    }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) RunFrame();
    }

    // A running game, past its countdown.
    void StartPlaying() {
        Mode.Now = frame::Phase::Playing;
        Mode.Lives = 3;
        Mode.Countdown = 0;
    }
    // A game in its get-ready countdown.
    void StartCountdown() {
        Mode.Now = frame::Phase::GetReady;
        Mode.Lives = 3;
        Mode.Countdown = frame::CountdownStart;
    }
    // The menu's demonstration.
    void StopPlaying() {
        Mode.Now = frame::Phase::Menu;
        Mode.Lives = 0;
    }
    void Pause(bool paused) { Mode.Paused = paused; }

    // What the world's passes see of the mode in this frame, with the mouse as it reads.
    world::FrameInput Input() const {
        world::FrameInput input = frame::WorldInput(Mode);
        input.Mouse = {Mouse.Next.DeltaX, Mouse.Next.DeltaY, Mouse.Next.LeftButton};
        return input;
    }

    int PixelsOf(render::Colour colour) const {
        int found = 0;
        for (int y = 0; y < render::Canvas::Height; ++y)
            for (int x = 0; x < render::Canvas::Width; ++x) found += Canvas.PixelAt(x, y) == colour;
        return found;
    }
};

}  // namespace zorblet::testing
