#pragma once
// All program state, in one object the frame owns and tests can create.

#include <atomic>
#include <cstdint>
#include <string>

#include "frame/fps_counter.h"
#include "frame/frame_pacer.h"
#include "highscore/board.h"
#include "highscore/name_entry.h"
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

    // The highscore rows, ScorePlace and StatusText as the transfers last handed them over.
    highscore::BoardView Highscore;
    highscore::TableView Table;
    highscore::NameEntry Names;
    // A failed transfer is told on the status line for a while once it can be seen.
    std::uint64_t FailuresTold = 0;
    int FailureFramesLeft = 0;

    FpsCounter Fps;
    FramePacer Pacer;
    platform::KeyTester Keys;

    render::Canvas Canvas;
    render::Fonts Fonts;
};

using world::SimulationActive;

}  // namespace zorblet::frame
