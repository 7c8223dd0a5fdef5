// The picture on a larger window or screen: every pixel a whole block, centred, and
// nothing written outside it.

#include "platform/picture_scaling.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/screen.h"

namespace zorblet::platform {
namespace {

TEST(PictureScaling, TheLargestWholeFactorThatFitsCentred) {
    struct Case {
        int Width, Height;
        Placement Expected;
    };
    const Case cases[] = {
        {600, 600, {1, 0, 0}},     {1280, 1024, {1, 340, 212}}, {2560, 1600, {2, 680, 200}},
        {1920, 1080, {1, 660, 240}}, {3840, 2160, {3, 1020, 180}}, {1200, 1200, {2, 0, 0}},
        {500, 400, {1, -50, -100}},
    };
    for (const Case& c : cases) {
        const Placement placement = PlacePicture(c.Width, c.Height);
        EXPECT_EQ(placement.Factor, c.Expected.Factor) << c.Width << "x" << c.Height;
        EXPECT_EQ(placement.Left, c.Expected.Left) << c.Width << "x" << c.Height;
        EXPECT_EQ(placement.Top, c.Expected.Top) << c.Width << "x" << c.Height;
    }
    EXPECT_EQ(FittingScale(2, 1280, 1024), 1);
    EXPECT_EQ(FittingScale(4, 2560, 1600), 2);
    EXPECT_EQ(FittingScale(3, 1800, 1800), 3);
    EXPECT_EQ(FittingScale(1, 300, 300), 1);
}

TEST(PictureScaling, EveryPixelBecomesABlockAndTheRestStaysAsItWas) {
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(ScreenWidth) * ScreenHeight);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    constexpr std::uint32_t Untouched = 0xDEADBEEF;
    for (int factor = 1; factor <= 4; ++factor) {
        const Placement placement{factor, 7, 3};
        const int width = ScreenWidth * factor + 20, height = ScreenHeight * factor + 5;
        const int pitchPixels = width + 3;  // rows padded, as surfaces may be
        std::vector<std::uint32_t> target(static_cast<std::size_t>(pitchPixels) * height, Untouched);
        DrawEnlarged(picture.data(), placement, reinterpret_cast<std::uint8_t*>(target.data()), pitchPixels * 4);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < pitchPixels; ++x) {
                const int px = x - placement.Left, py = y - placement.Top;
                const bool inside = px >= 0 && py >= 0 && px < ScreenWidth * factor && py < ScreenHeight * factor;
                const std::uint32_t expected =
                    inside ? picture[static_cast<std::size_t>(py / factor) * ScreenWidth + px / factor] : Untouched;
                wrong += target[static_cast<std::size_t>(y) * pitchPixels + x] != expected;
            }
        }
        EXPECT_EQ(wrong, 0) << "factor " << factor;
    }
}

}  // namespace
}  // namespace zorblet::platform
