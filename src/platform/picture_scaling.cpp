#include "platform/picture_scaling.h"

#include <algorithm>
#include <cstring>

#include "platform/screen.h"

namespace zorblet::platform {

namespace {

// One row widened: each pixel `factor` times. The common factors have loops of their own
// that the compiler turns into wide stores.
template <int Factor>
void WidenRowBy(const std::uint32_t* source, std::uint32_t* row) {
    for (int x = 0; x < ScreenWidth; ++x) {
        for (int i = 0; i < Factor; ++i) row[x * Factor + i] = source[x];
    }
}

void WidenRow(const std::uint32_t* source, int factor, std::uint32_t* row) {
    switch (factor) {
        case 1:
            std::memcpy(row, source, ScreenWidth * sizeof(std::uint32_t));
            return;
        case 2:
            WidenRowBy<2>(source, row);
            return;
        case 3:
            WidenRowBy<3>(source, row);
            return;
        case 4:
            WidenRowBy<4>(source, row);
            return;
        default:
            for (int x = 0; x < ScreenWidth * factor; ++x) row[x] = source[x / factor];
    }
}

}  // namespace

Placement PlacePicture(int width, int height) {
    const int factor = std::max(1, std::min(width / ScreenWidth, height / ScreenHeight));
    return {factor, (width - ScreenWidth * factor) / 2, (height - ScreenHeight * factor) / 2};
}

int FittingScale(int wanted, int width, int height) {
    int scale = wanted;
    while (scale > 1 && (ScreenWidth * scale > width || ScreenHeight * scale > height)) --scale;
    return std::max(scale, 1);
}

void DrawEnlarged(const std::uint32_t* pixels, const Placement& placement, std::uint8_t* target, int pitch) {
    const int factor = placement.Factor;
    const std::size_t rowBytes = static_cast<std::size_t>(ScreenWidth) * factor * sizeof(std::uint32_t);
    std::uint8_t* first = target + static_cast<std::ptrdiff_t>(placement.Top) * pitch +
                          static_cast<std::ptrdiff_t>(placement.Left) * 4;
    for (int y = 0; y < ScreenHeight; ++y) {
        std::uint8_t* row = first + static_cast<std::ptrdiff_t>(y) * factor * pitch;
        WidenRow(pixels + static_cast<std::ptrdiff_t>(y) * ScreenWidth, factor, reinterpret_cast<std::uint32_t*>(row));
        for (int copy = 1; copy < factor; ++copy) std::memcpy(row + static_cast<std::ptrdiff_t>(copy) * pitch, row, rowBytes);
    }
}

}  // namespace zorblet::platform
