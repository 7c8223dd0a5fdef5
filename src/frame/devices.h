#pragma once

#include "highscore/highscore_client.h"
#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/game_archive.h"
#include "platform/keyboard.h"
#include "platform/mouse.h"
#include "platform/random.h"
#include "platform/screen.h"
#include "platform/settings_store.h"
#include "render/canvas.h"
#include "sound/tone_effect.h"

namespace zorblet::frame {

// What the program reaches outside itself, and the canvas each frame is drawn on before
// the screen shows it; tests hand in fakes.
struct Devices {
    platform::Screen& Screen;
    render::Canvas& Canvas;
    platform::Keyboard& Keyboard;
    platform::Mouse& Mouse;
    platform::Clock& Clock;
    platform::FontLoader& Fonts;
    platform::Random& Random;
    sound::ToneStarter& Tones;
    highscore::HighscoreClient& Highscore;
    platform::SettingsStore& Settings;
    platform::GameArchive& Games;  // where each finished game's record goes
};

}  // namespace zorblet::frame
