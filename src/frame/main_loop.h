#pragma once

#include "frame/devices.h"
#include "frame/function_keys.h"
#include "frame/game.h"

namespace zorblet::frame {

// Notified at the frame's milestones; benchmarks time the frame with it.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    // The game as the frame is about to draw it, after the frame's input and update.
    virtual void DrawingBegins(const Game& /*game*/) {}
    virtual void FramePresented() {}
    virtual void FrameWaitEnded() {}
};

// What the last run left for this one to start with.
struct Remembered {
    bool SoundOn = true;
    std::string PlayerName;  // Windows-1252; the text the first name entry starts with
};

// From the fonts to the first black frame: everything before the first frame of the loop.
// Ends early, with EndProgram, when the window is closed while the first list is fetched.
FrameOutcome StartUp(Game& game, Devices& devices, FrameObserver* observer = nullptr,
                     const Remembered& remembered = {});

// One pass of the main loop.
FrameOutcome RunFrame(Game& game, Devices& devices, FrameObserver* observer = nullptr);

// Frames until the program is to end; a game still running then is kept as abandoned.
void RunMainLoop(Game& game, Devices& devices, FrameObserver* observer = nullptr);

}  // namespace zorblet::frame
