#include "platform/sdl_platform.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/picture_scaling.h"
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

// The window was uncovered or changed its size: what lies around the picture is drawn again.
bool AsksForRepaint(const SDL_Event& event) {
    return event.type == SDL_WINDOWEVENT &&
           (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED);
}

bool IsThirtyTwoBit(Uint32 format) {
    return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

// Where the window may go: the display's usable area, else all of it; 0 x 0 when unknown.
SDL_Rect UsableArea() {
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(0, &area) == 0 && area.w > 0 && area.h > 0) return area;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return {};
    return {0, 0, desktop.w, desktop.h};
}

// The scale asked for, lowered with a warning when its window does not fit the screen.
int ScaleThatFits(int wanted) {
    if (wanted <= 1) return 1;
    const SDL_Rect area = UsableArea();
    if (area.w == 0) return wanted;
    const int scale = FittingScale(wanted, area.w, area.h);
    if (scale < wanted) {
        std::fprintf(stderr, "Zorblet: ein %d-mal so großes Fenster passt nicht auf den Bildschirm (%dx%d); es wird %d-mal so groß.\n",
                     wanted, area.w, area.h, scale);
    }
    return scale;
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
    shape_.Scale = ScaleThatFits(shape_.Scale);
    const int width = ScreenWidth * shape_.Scale;
    const int height = ScreenHeight * shape_.Scale;
    const int x = (desktop.w >> 1) - width / 2;
    const int y = (desktop.h >> 1) - height / 2;
    const Uint32 flags = SDL_WINDOW_SHOWN | (shape_.Fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    window_ = SDL_CreateWindow("Zorblet 1.00", x, y, width, height, flags);
    if (window_ == nullptr) {
        throw PlatformError(std::string("Das Fenster lässt sich nicht öffnen: ") + SDL_GetError());
    }
}

void SdlScreen::Present(const std::uint32_t* pixels) {
    if (window_ == nullptr) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    // The window of scale 1 takes the picture as it always has.
    const bool plain = surface->w == ScreenWidth && surface->h == ScreenHeight;
    if (plain || !IsThirtyTwoBit(surface->format->format)) {
        CopyRows(pixels, surface);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        SDL_UpdateWindowSurface(window_);
        return;
    }
    PresentEnlarged(pixels, surface);
}

void SdlScreen::PresentEnlarged(const std::uint32_t* pixels, SDL_Surface* surface) {
    const Placement placement = PlacePicture(surface->w, surface->h);
    const bool whole = repaintAll_ || surface != enlargedSurface_;
    if (whole) std::memset(surface->pixels, 0, static_cast<std::size_t>(surface->pitch) * surface->h);
    DrawEnlarged(pixels, placement, static_cast<std::uint8_t*>(surface->pixels), surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    // Once the black around it is on screen, only the picture changes.
    const SDL_Rect picture{placement.Left, placement.Top, ScreenWidth * placement.Factor,
                           ScreenHeight * placement.Factor};
    if (whole) {
        SDL_UpdateWindowSurface(window_);
    } else {
        SDL_UpdateWindowSurfaceRects(window_, &picture, 1);
    }
    enlargedSurface_ = surface;
    repaintAll_ = false;
}

bool SdlScreen::ToggleFullscreen() {
    if (window_ == nullptr) return false;
    const bool fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (SDL_SetWindowFullscreen(window_, fullscreen ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return fullscreen;
    repaintAll_ = true;
    return !fullscreen;
}

bool SdlScreen::TakeCloseRequest() {
    SDL_PumpEvents();
    bool closeRequested = false;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        closeRequested = closeRequested || IsCloseRequest(event);
        repaintAll_ = repaintAll_ || AsksForRepaint(event);
    }
    return closeRequested;
}

void SdlScreen::SetTitle(std::string_view title) {
    if (window_ != nullptr) SDL_SetWindowTitle(window_, std::string(title).c_str());
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

std::unique_ptr<SdlPlatform> StartSdlPlatform(const WindowShape& shape) {
    auto platform = std::make_unique<SdlPlatform>();
    platform->Screen.SetShape(shape);
    platform->Fonts = std::make_unique<TtfFontLoader>();
    platform->Tones.Open();
    return platform;
}

}  // namespace zorblet::platform
