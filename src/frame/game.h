#pragma once
// All program state, in one object the frame owns and tests can create.

#include <atomic>
#include <cstdint>
#include <string>

#include "frame/fps_counter.h"
#include "frame/frame_pacer.h"
#include "highscore/table_view.h"
#include "platform/keyboard.h"
#include "render/canvas.h"
#include "render/font.h"
#include "world/world.h"

namespace zorblet::frame {

using world::CountdownStart;
inline constexpr int FrameRate = 120;

// The world (with Lives, Score, Paused, Countdown and AnimAngle) and the rest of the
// program's state. Which state the game is in: see SimulationActive and the function keys.
struct Game : world::World {
    std::int32_t HelpShown = 0;
    std::atomic<std::int32_t> SoundOn = 1;  // tone threads read it
    std::int32_t NameEntryActive = 0;
    std::string PlayerName;  // Windows-1252
    std::string StatusText;  // the transfer status line; empty while no transfer runs

    highscore::TableView Table;

    FpsCounter Fps;
    FramePacer Pacer;
    platform::KeyTester Keys;

    render::Canvas Canvas;
    render::Fonts Fonts;
};

using world::SimulationActive;

}  // namespace zorblet::frame
