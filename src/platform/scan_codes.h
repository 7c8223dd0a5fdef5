#pragma once

#include <SDL2/SDL_scancode.h>

namespace zorblet::platform {

// The game's scan code of a physical key, 0 for keys the game does not number.
int GameScanCode(SDL_Scancode scancode);

}  // namespace zorblet::platform
