#pragma once
// The 600x600 picture on a larger window or screen: enlarged by a whole factor without
// smoothing (every pixel a factor x factor block) and centred.

#include <cstdint>

namespace zorblet::platform {

struct Placement {
    int Factor = 1;
    int Left = 0;
    int Top = 0;
};

// The largest whole factor at which the picture fits width x height (at least 1), centred.
Placement PlacePicture(int width, int height);

// The largest scale up to `wanted` whose window fits width x height; at least 1.
int FittingScale(int wanted, int width, int height);

// Writes the picture (600x600 pixels 0x00RRGGBB) into 32-bit target rows `pitch` bytes
// apart, enlarged and placed; the target must hold the placed picture.
void DrawEnlarged(const std::uint32_t* pixels, const Placement& placement, std::uint8_t* target, int pitch);

}  // namespace zorblet::platform
