#pragma once
// A game's state with a canvas and fonts to draw on, stepped by the game's rules and drawn
// as the program's frame steps and draws it.

#include <cstdint>

#include "frame/game.h"
#include "render/canvas.h"
#include "render/font.h"
#include "render/world_drawing.h"
#include "support/fakes.h"
#include "support/world_fakes.h"
#include "world/rules.h"
#include "world/tick.h"
#include "world/world.h"

namespace zorblet::testing {

struct WorldBench {
    frame::Run Run;
    world::World& World = Run.World;
    world::PlayState& Play = Run.Play;
    RecordingTones Tones;
    RecordingMouse Mouse;  // what the player's reads report: Mouse.Next
    int MouseReads = 0;
    std::uint32_t NextGameSeed;  // the seed of the next game F2 starts; counts up
    BoxFontLoader Loader;
    render::Fonts Fonts = render::CreateFonts(Loader);
    render::Canvas Canvas;

    // Long runs skip clearing: drawing only overwrites pixels.
    bool ClearEachFrame = true;

    // The world as built, its numbers from seed.
    explicit WorldBench(std::uint32_t seed = 1) : NextGameSeed(seed + 1) { world::SeedWorldRandom(World, seed); }
    WorldBench(const WorldBench&) = delete;

    // One frame of the rules with these keys, the mouse read as the frame reads it, then
    // its picture.
    world::FrameEvents RunFrame(world::FrameInput input = {}) {
        if (world::SteersByMouse(Run, input)) {
            const platform::MouseReading reading = Mouse.Read();
            input.Mouse = {reading.DeltaX, reading.DeltaY, reading.LeftButton};
            ++MouseReads;
        }
        const world::FrameEvents events = world::StepGame(Run, input, NextGameSeed, Tones);
        if (events.GameStarted) ++NextGameSeed;
        if (ClearEachFrame) Canvas.ClearScreen(0, 0, 0);
        Canvas.BeginDrawing();
        render::DrawWorld(World, Canvas, Fonts);
        return events;
    }
    void RunFrames(int count) {
        for (int i = 0; i < count; ++i) RunFrame();
    }
    // F2 released: a new game, in its countdown.
    world::FrameEvents PressNewGame() { return RunFrame({.Mouse = {}, .F2Released = true}); }

    // A running game, past its countdown.
    void StartPlaying() { Play = {.Now = world::Phase::Playing, .Paused = Play.Paused, .Lives = 3, .Countdown = 0}; }
    // A game in its get-ready countdown.
    void StartCountdown() {
        Play = {.Now = world::Phase::GetReady, .Paused = Play.Paused, .Lives = 3, .Countdown = world::CountdownStart};
    }
    // The menu's demonstration.
    void StopPlaying() {
        Play.Now = world::Phase::NoGame;
        Play.Lives = 0;
    }
    void Pause(bool paused) { Play.Paused = paused; }

    // What the world's passes see of the state of play in this frame, with the mouse as
    // it reads.
    world::TickInput Input() const {
        return {.InGame = world::InGame(Play),
                .Moving = world::SimulationActive(Play),
                .Paused = Play.Paused,
                .Mouse = {Mouse.Next.DeltaX, Mouse.Next.DeltaY, Mouse.Next.LeftButton}};
    }

    int PixelsOf(render::Colour colour) const {
        int found = 0;
        for (int y = 0; y < render::Canvas::Height; ++y)
            for (int x = 0; x < render::Canvas::Width; ++x) found += Canvas.PixelAt(x, y) == colour;
        return found;
    }
};

}  // namespace zorblet::testing
