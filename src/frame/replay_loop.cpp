#include "frame/replay_loop.h"

#include <algorithm>

#include "frame/game.h"
#include "frame/switched_tones.h"
#include "render/replay_frame.h"

namespace zorblet::frame {

namespace Key = platform::Key;

namespace {

constexpr std::string_view TitleStart = "Zorblet 1.00 - Wiedergabe";

// The keys of a replay, each acting on its release; ESC ends it.
FrameOutcome HandleReplayKeys(ReplayView& view, ReplayDevices& devices) {
    platform::KeyTester& keys = view.Keys;
    ReplayControl& control = view.Control;
    keys.Renew(devices.Keyboard);
    if (keys.Released(Key::Escape)) return FrameOutcome::EndProgram;
    if (keys.Released(Key::F4)) control.Held = !control.Held;
    if (keys.Released(Key::F3)) {
        control.SoundOn = !control.SoundOn;
        devices.Settings.RememberSound(control.SoundOn);
    }
    if (keys.Released(Key::F11)) devices.Settings.RememberFullscreen(devices.Screen.ToggleFullscreen());
    // Each key is tested, so that none keeps a release for a later frame.
    const bool right = keys.Released(Key::Right), up = keys.Released(Key::Up);
    const bool left = keys.Released(Key::Left), down = keys.Released(Key::Down);
    if (right || up) control.Speed = std::min(control.Speed * 2, FastestReplaySpeed);
    if (left || down) control.Speed = std::max(control.Speed / 2, 1);
    return FrameOutcome::Continue;
}

// The window is renamed only when what the title says changes.
void ShowTitle(ReplayView& view, platform::Screen& screen) {
    const ReplayView::TitleSays says{view.Control.Speed, view.Control.Held, view.Player.Finished()};
    if (view.Titled == says) return;
    view.Titled = says;
    screen.SetTitle(ReplayTitle(view));
}

}  // namespace

std::string ReplayTitle(const ReplayView& view) {
    std::string title(TitleStart);
    if (view.Player.Finished()) return title.append(" zu Ende");
    title.append(1, ' ').append(std::to_string(view.Control.Speed)).append(1, 'x');
    if (view.Control.Held) title.append(", angehalten");
    return title;
}

void StartReplay(ReplayView& view, ReplayDevices& devices, bool soundOn) {
    view.Fonts = render::CreateFonts(devices.Fonts);
    view.Control.SoundOn = soundOn;
    devices.Screen.Open();
    view.Pacer.SetFrameRate(devices.Clock, FrameRate);
}

FrameOutcome RunReplayFrame(ReplayView& view, ReplayDevices& devices) {
    if (devices.Screen.TakeCloseRequest()) return FrameOutcome::EndProgram;
    if (HandleReplayKeys(view, devices) == FrameOutcome::EndProgram) return FrameOutcome::EndProgram;
    SwitchedTones tones(devices.Tones, view.Control.SoundOn);
    if (!view.Control.Held) {
        for (int i = 0; i < view.Control.Speed; ++i) view.Player.Step(tones);
    }
    ShowTitle(view, devices.Screen);
    render::DrawReplayFrame(devices.Canvas, view.Fonts, view.Player.State(), view.Player.CountdownDigit());
    devices.Screen.Present(devices.Canvas.Pixels());
    view.Pacer.WaitForFramePeriod(devices.Clock);
    return FrameOutcome::Continue;
}

void RunReplay(const record::GameRecord& game, ReplayDevices& devices, bool soundOn) {
    ReplayView view(game);
    StartReplay(view, devices, soundOn);
    while (RunReplayFrame(view, devices) == FrameOutcome::Continue) {
    }
}

}  // namespace zorblet::frame
