#pragma once
// A recorded game played back in the window exactly as it was: one frame of the record
// per picture at the game's pace, two or four at the faster speeds, with its tones. F4
// holds it, the arrow keys choose the speed, F3 and F11 are the game's; ESC or the
// window's close box ends it. After the last frame its picture stays until then, so that
// the end of the game can be looked at.

#include <optional>
#include <string>

#include "frame/effects.h"
#include "frame/frame_pacer.h"
#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/keyboard.h"
#include "platform/screen.h"
#include "platform/settings_store.h"
#include "render/canvas.h"
#include "render/font.h"
#include "replay/record_player.h"
#include "sound/tone_effect.h"

namespace zorblet::frame {

// What a replay reaches outside itself; tests hand in fakes.
struct ReplayDevices {
    platform::Screen& Screen;
    render::Canvas& Canvas;
    platform::Keyboard& Keyboard;
    platform::Clock& Clock;
    platform::FontLoader& Fonts;
    sound::ToneStarter& Tones;
    platform::SettingsStore& Settings;  // F3 and F11 are remembered as in the game
};

inline constexpr int FastestReplaySpeed = 4;

// What the viewer chose.
struct ReplayControl {
    int Speed = 1;        // the record's frames per picture: 1, 2 or 4
    bool Held = false;    // F4
    bool SoundOn = true;  // F3
};

struct ReplayView {
    explicit ReplayView(const record::GameRecord& game) : Player(game) {}
    replay::RecordPlayer Player;
    ReplayControl Control;
    render::Fonts Fonts;
    FramePacer Pacer;
    platform::KeyTester Keys;
    // What the window's title said when it was last set.
    struct TitleSays {
        int Speed;
        bool Held, Finished;
        bool operator==(const TitleSays&) const = default;
    };
    std::optional<TitleSays> Titled;
};

// The window's title for the replay's state: its speed, held, or at its end.
std::string ReplayTitle(const ReplayView& view);

// Opens the window; the first picture shows the record's first frame.
void StartReplay(ReplayView& view, ReplayDevices& devices, bool soundOn);

// One picture: the keys, the record's frames it moves on by, the drawing, the pace.
// EndProgram on ESC or a close request.
FrameOutcome RunReplayFrame(ReplayView& view, ReplayDevices& devices);

// The record from its first frame, picture by picture, until ESC.
void RunReplay(const record::GameRecord& game, ReplayDevices& devices, bool soundOn);

}  // namespace zorblet::frame
