#pragma once

#include "frame/devices.h"
#include "frame/game.h"
#include "world/services.h"

namespace zorblet::frame {

// The world's services on the program's devices.
class DeviceServices final : public world::Services {
public:
    DeviceServices(Devices& devices, Game& game) : devices_(devices), game_(game) {}

    std::int32_t RandomUpTo(std::int32_t n) override { return devices_.Random.UpTo(n); }
    // The sound switch is read as an effect starts: F3 does not cut short what plays.
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        if (game_.Run.SoundOn) devices_.Tones.StartTone(effect, argument);
    }
    std::int32_t PopupHalfWidth(std::string_view text) override {
        return game_.Machine.Fonts.FontBold14.TextWidth(text) / 2;
    }

private:
    Devices& devices_;
    Game& game_;
};

}  // namespace zorblet::frame
