#pragma once

#include <string_view>

namespace zorblet::platform {

// Where the choices a player makes in the game are kept for the next run.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The name confirmed in the name entry (Windows-1252).
    virtual void RememberName(std::string_view name) = 0;
    // The sound switch after F3.
    virtual void RememberSound(bool on) = 0;
    // The fullscreen state after F11.
    virtual void RememberFullscreen(bool on) = 0;
};

}  // namespace zorblet::platform
