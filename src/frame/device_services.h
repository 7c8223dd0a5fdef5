#pragma once

#include "frame/devices.h"
#include "world/services.h"

namespace zorblet::frame {

// The world's services on the program's devices.
class DeviceServices final : public world::Services {
public:
    explicit DeviceServices(Devices& devices) : devices_(devices) {}

    std::int32_t Random(std::int32_t n) override { return devices_.Random.Next(n); }
    void StartTone(sound::ToneEffect effect, std::int32_t argument) override {
        devices_.Tones.StartTone(effect, argument);
    }
    world::MouseState ReadMouse() override {
        const platform::MouseReading reading = devices_.Mouse.Read();
        return {reading.DeltaX, reading.DeltaY, reading.LeftButton};
    }

private:
    Devices& devices_;
};

}  // namespace zorblet::frame
