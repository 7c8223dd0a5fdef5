#pragma once
// All program state, in one object the frame owns and tests can create.

#include <cstdint>
#include <string>

#include "frame/fps_counter.h"
#include "frame/frame_pacer.h"
#include "highscore/table_view.h"
#include "platform/keyboard.h"
#include "render/canvas.h"
#include "render/font.h"

namespace zorblet::frame {

inline constexpr std::int32_t CountdownStart = 602;
inline constexpr int FrameRate = 120;

struct Game {
    // Which state the game is in: see SimulationActive and the function keys.
    std::int32_t Lives = 0;  // above 0 while a game runs; 0 in the menu
    float Score = 0.0f;
    std::int32_t Paused = 0;
    std::int32_t HelpShown = 0;
    std::int32_t SoundOn = 1;
    std::int32_t Countdown = CountdownStart;
    std::int32_t NameEntryActive = 0;
    std::int32_t AnimAngle = 0;  // degrees, +2 per unpaused frame, never wrapped
    std::string PlayerName;      // Windows-1252
    std::string StatusText;      // the transfer status line; empty while no transfer runs

    highscore::TableView Table;

    FpsCounter Fps;
    FramePacer Pacer;
    platform::KeyTester Keys;

    render::Canvas Canvas;
    render::Fonts Fonts;
};

// The world moves only while this holds.
inline bool SimulationActive(const Game& game) {
    return (game.Countdown == 0 || game.Lives == 0) && game.Paused == 0;
}

}  // namespace zorblet::frame
