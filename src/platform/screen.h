#pragma once

#include <cstdint>
#include <string_view>

#include "shared/playfield.h"

namespace zorblet::platform {

inline constexpr int ScreenWidth = PlayfieldSize;
inline constexpr int ScreenHeight = PlayfieldSize;

// The window and its 600x600 picture.
class Screen {
public:
    virtual ~Screen() = default;
    // Opens the window, titled and placed, with its client area ready for frames.
    virtual void Open() = 0;
    // Copies a finished frame (600x600 pixels 0x00RRGGBB, row by row) into the window.
    virtual void Present(const std::uint32_t* pixels) = 0;
    // Takes the window's pending events; true when the user asked to close the window.
    virtual bool TakeCloseRequest() = 0;
    // Switches between the window and desktop fullscreen; true when in fullscreen after it.
    virtual bool ToggleFullscreen() = 0;
    // Renames the open window (UTF-8).
    virtual void SetTitle(std::string_view title) = 0;
};

}  // namespace zorblet::platform
