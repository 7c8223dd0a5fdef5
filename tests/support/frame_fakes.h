#pragma once
// The program's devices, every one a stand-in, for tests of the frame without a window:
// nothing is shown, played or sent anywhere, and what the frame did is recorded.

#include "frame/devices.h"
#include "highscore/highscore_client.h"
#include "platform/posix_clock.h"
#include "render/canvas.h"
#include "support/fakes.h"
#include "support/http_fakes.h"
#include "support/tone_fakes.h"

namespace zorblet::testing {

struct FakeDevices {
    FakeScreen Screen;
    render::Canvas Canvas;
    ScriptedKeyboard Keyboard;
    RecordingMouse Mouse;
    FakeClock Clock;
    BoxFontLoader Fonts;
    FixedRandom Random;
    RecordingToneStarter Tones;
    AnsweringTransport Http;
    platform::PosixClock TransferClock;
    highscore::HighscoreClient Highscore{Http, TransferClock, "http://scores.invalid/"};
    RecordingSettings Settings;
    RecordingArchive Games;
    frame::Devices Devices{Screen, Canvas, Keyboard, Mouse, Clock, Fonts, Random, Tones, Highscore, Settings, Games};
};

}  // namespace zorblet::testing
