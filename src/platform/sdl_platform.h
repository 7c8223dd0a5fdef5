#pragma once
// The platform on SDL2: window and screen, keyboard, mouse, clock, fonts and tones.

#include <memory>

#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/keyboard.h"
#include "platform/mouse.h"
#include "platform/posix_clock.h"
#include "platform/screen.h"
#include "platform/sdl_tone_generator.h"

struct SDL_Window;
struct SDL_Surface;

namespace zorblet::platform {

// How the window opens: its scale (1 to 4; lowered to fit the screen) and whether it
// starts in desktop fullscreen.
struct WindowShape {
    int Scale = 1;
    bool Fullscreen = false;
};

class SdlScreen final : public Screen {
public:
    SdlScreen();
    ~SdlScreen() override;
    SdlScreen(const SdlScreen&) = delete;
    SdlScreen& operator=(const SdlScreen&) = delete;

    // Takes effect at Open.
    void SetShape(const WindowShape& shape) { shape_ = shape; }
    void Open() override;
    void Present(const std::uint32_t* pixels) override;
    bool TakeCloseRequest() override;
    bool ToggleFullscreen() override;
    void SetTitle(std::string_view title) override;

    bool HasInputFocus() const;
    void Close();

private:
    // The picture on a window or screen larger than it, the rest black.
    void PresentEnlarged(const std::uint32_t* pixels, SDL_Surface* surface);

    SDL_Window* window_ = nullptr;
    WindowShape shape_;
    // The surface last drawn into enlarged, and whether all of it must be drawn again
    // (black around the picture) because it is new or the window was uncovered.
    SDL_Surface* enlargedSurface_ = nullptr;
    bool repaintAll_ = true;
};

class SdlKeyboard final : public Keyboard {
public:
    explicit SdlKeyboard(const SdlScreen& screen) : screen_(screen) {}
    void ReadSnapshot(KeySnapshot& snapshot) override;

private:
    const SdlScreen& screen_;
};

class SdlMouse final : public Mouse {
public:
    explicit SdlMouse(const SdlScreen& screen) : screen_(screen) {}
    MouseReading Read() override;
    void Release() override;

private:
    const SdlScreen& screen_;
    bool captured_ = false;
};

// Everything the game needs of the machine, set up in one go, and shut down when it goes.
struct SdlPlatform {
    SdlPlatform() = default;
    ~SdlPlatform() { ShutDown(); }
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    SdlScreen Screen;
    SdlKeyboard Keyboard{Screen};
    SdlMouse Mouse{Screen};
    PosixClock Clock;
    std::unique_ptr<FontLoader> Fonts;
    SdlToneGenerator Tones;

    // Gives the mouse back, closes the window and the sound device, and ends SDL; once.
    void ShutDown();

private:
    bool shutDown_ = false;
};

// Initialises SDL's video and event layers, the font layer and the sound device (silent
// when there is none); the window opens later.
// Throws PlatformError with a message for the player when something is missing.
std::unique_ptr<SdlPlatform> StartSdlPlatform(const WindowShape& shape = {});

}  // namespace zorblet::platform
