#pragma once
// The program's state in three parts: the run (world and mode), the screen around the
// world (table, name entry, status line, the readings shown), and the machinery that
// turns them into pictures.

#include <cstdint>
#include <optional>
#include <string>

#include "frame/fps_counter.h"
#include "frame/frame_pacer.h"
#include "frame/mode.h"
#include "highscore/board.h"
#include "highscore/highscore_client.h"
#include "highscore/name_entry.h"
#include "highscore/table_view.h"
#include "platform/keyboard.h"
#include "record/recorder.h"
#include "render/font.h"
#include "world/rules.h"

namespace zorblet::frame {

inline constexpr int FrameRate = 120;

// What one run of the program plays: the game's state (the world and the state of play,
// which the rules' step moves on), the help page and name entry, the sound switch.
struct Run : world::GameState {
    frame::Mode Mode;
    bool SoundOn = true;  // F3; read when a tone effect would start
};

// What the screen shows around the world, brought up to date before each picture.
struct Surroundings {
    // The highscore rows, ScorePlace and StatusText as the transfers last handed them over.
    highscore::BoardView Highscore;
    highscore::TableView Table;
    highscore::NameEntry Names;
    std::string PlayerName;  // Windows-1252
    // The running game's ticket's end, when it was played on one; and the game whose game
    // over opened the name entry, when its record is to go to the list.
    std::optional<highscore::WallTime> TicketExpires;
    std::optional<highscore::PlayedGame> GameForList;
    // A failed transfer is told on the status line for a while once it can be seen.
    std::uint64_t FailuresTold = 0;
    int FailureFramesLeft = 0;
    std::string StatusLine;            // what the status line says in this frame
    std::int32_t Fps = 0;              // this frame's reading
    std::int32_t CountdownDigit = -1;  // the big digit of this frame; -1 for none
};

// What draws and paces the frames, reads the keys and records the games; the picture
// itself is drawn on the devices' canvas.
struct Machinery {
    render::Fonts Fonts;
    FramePacer Pacer;
    FpsCounter Fps;
    platform::KeyTester Keys;
    record::Recorder Recorder;
};

struct Game {
    frame::Run Run;
    Surroundings Screen;
    Machinery Machine;
};

}  // namespace zorblet::frame
