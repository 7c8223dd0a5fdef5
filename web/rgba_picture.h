#pragma once
// The canvas's picture as a browser's ImageData holds one: bytes R, G, B, A a pixel.

#include <cstddef>
#include <cstdint>

#include "render/canvas.h"

namespace zorblet::web {

inline constexpr std::size_t RgbaPictureBytes = std::size_t{render::Canvas::Width} * render::Canvas::Height * 4;

// Writes RgbaPictureBytes bytes, every pixel opaque.
inline void CopyAsRgba(const render::Canvas& canvas, std::uint8_t* rgba) {
    const std::uint32_t* pixels = canvas.Pixels();
    for (std::size_t i = 0; i < RgbaPictureBytes / 4; ++i) {
        rgba[4 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
        rgba[4 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
        rgba[4 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
        rgba[4 * i + 3] = 255;
    }
}

}  // namespace zorblet::web
