#include "platform/sdl_platform.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform_error.h"
#include "platform/scan_codes.h"
#include "platform/ttf_fonts.h"

namespace zorblet::platform {

namespace {

// Event types the game never reads: dropped at the source so that the queue
// stays short and a close request is always found in the frame it arrives.
constexpr Uint32 IgnoredEventTypes[] = {
    SDL_KEYDOWN,       SDL_KEYUP,           SDL_TEXTEDITING,   SDL_TEXTINPUT,    SDL_KEYMAPCHANGED,
    SDL_MOUSEMOTION,   SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL,   SDL_JOYAXISMOTION,
    SDL_JOYBALLMOTION, SDL_JOYHATMOTION,    SDL_JOYBUTTONDOWN, SDL_JOYBUTTONUP,  SDL_FINGERDOWN,
    SDL_FINGERUP,      SDL_FINGERMOTION,    SDL_DOLLARGESTURE, SDL_MULTIGESTURE, SDL_CLIPBOARDUPDATE,
    SDL_DROPFILE,      SDL_DROPTEXT,        SDL_DROPBEGIN,     SDL_DROPCOMPLETE, SDL_SYSWMEVENT,
};

// SDL falls back to an invisible driver when no display answers; a player would
// see nothing, so that only counts when it was asked for.
bool HasVisibleDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible =
        driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    return !invisible || SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr;
}

bool IsCloseRequest(const SDL_Event& event) {
    return event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

void CopyRows(const std::uint32_t* pixels, SDL_Surface* surface) {
    const int width = std::min(surface->w, ScreenWidth);
    const int height = std::min(surface->h, ScreenHeight);
    const Uint32 format = surface->format->format;
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
        auto* target = static_cast<std::uint8_t*>(surface->pixels);
        for (int y = 0; y < height; ++y) {
            std::memcpy(target + static_cast<std::ptrdiff_t>(y) * surface->pitch, pixels + y * ScreenWidth,
                        static_cast<std::size_t>(width) * sizeof(std::uint32_t));
        }
        return;
    }
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, pixels, ScreenWidth * 4, format, surface->pixels,
                      surface->pitch);
}

}  // namespace

SdlScreen::SdlScreen() {
    // The window surface is written directly; no GL context is needed for that.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        throw PlatformError(std::string("Die Grafikausgabe lässt sich nicht starten: ") + SDL_GetError());
    }
    if (!HasVisibleDisplay()) {
        SDL_Quit();
        throw PlatformError("Kein Bildschirm gefunden: weder DISPLAY noch WAYLAND_DISPLAY nennt einen erreichbaren.");
    }
    for (Uint32 type : IgnoredEventTypes) SDL_EventState(type, SDL_IGNORE);
    SDL_StopTextInput();
}

SdlScreen::~SdlScreen() {
    Close();
}

void SdlScreen::Open() {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) desktop.w = desktop.h = 0;
    const int x = (desktop.w >> 1) - ScreenWidth / 2;
    const int y = (desktop.h >> 1) - ScreenHeight / 2;
    window_ = SDL_CreateWindow("Zorblet 1.00", x, y, ScreenWidth, ScreenHeight, SDL_WINDOW_SHOWN);
    if (window_ == nullptr) {
        throw PlatformError(std::string("Das Fenster lässt sich nicht öffnen: ") + SDL_GetError());
    }
}

void SdlScreen::Present(const std::uint32_t* pixels) {
    if (window_ == nullptr) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    CopyRows(pixels, surface);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
}

bool SdlScreen::TakeCloseRequest() {
    SDL_PumpEvents();
    bool closeRequested = false;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        closeRequested = closeRequested || IsCloseRequest(event);
    }
    return closeRequested;
}

bool SdlScreen::HasInputFocus() const {
    return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlScreen::Close() {
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    window_ = nullptr;
}

void SdlKeyboard::ReadSnapshot(KeySnapshot& snapshot) {
    if (!screen_.HasInputFocus()) return;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    snapshot.fill(false);
    for (int scancode = 0; scancode < count; ++scancode) {
        if (state[scancode] == 0) continue;
        const int key = GameScanCode(static_cast<SDL_Scancode>(scancode));
        if (key != 0) snapshot[key] = true;
    }
}

MouseReading SdlMouse::Read() {
    if (!screen_.HasInputFocus()) {
        Release();
        return {};
    }
    if (!captured_) {
        SDL_SetRelativeMouseMode(SDL_TRUE);
        SDL_GetRelativeMouseState(nullptr, nullptr);  // motion from before the capture is not ours
        captured_ = true;
    }
    MouseReading reading;
    const Uint32 buttons = SDL_GetRelativeMouseState(&reading.DeltaX, &reading.DeltaY);
    reading.LeftButton = (buttons & SDL_BUTTON_LMASK) != 0;
    return reading;
}

void SdlMouse::Release() {
    if (!captured_) return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    captured_ = false;
}

void SdlPlatform::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    Mouse.Release();
    Screen.Close();
    Tones.Close();
    Fonts.reset();
    SDL_Quit();
}

std::unique_ptr<SdlPlatform> StartSdlPlatform() {
    auto platform = std::make_unique<SdlPlatform>();
    platform->Fonts = std::make_unique<TtfFontLoader>();
    platform->Tones.Open();
    return platform;
}

}  // namespace zorblet::platform
