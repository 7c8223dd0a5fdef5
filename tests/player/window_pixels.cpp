// Reads a window's picture in one X request: writes it as a PPM file and prints every
// pixel that is not black as "x y red green blue", one a line. A player test looks at
// the game several times a second with it; a screenshot tool takes many times as long.
// Usage: window_pixels WINDOW_ID PPM_FILE

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Rgb {
    unsigned char Red, Green, Blue;
};

// One colour channel of a pixel, scaled to 8 bits.
unsigned Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<unsigned>(value * 255 / maximum);
}

std::vector<Rgb> ReadPixels(XImage& image) {
    std::vector<Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned long pixel = XGetPixel(&image, x, y);
            pixels.push_back({static_cast<unsigned char>(Channel(pixel, image.red_mask)),
                              static_cast<unsigned char>(Channel(pixel, image.green_mask)),
                              static_cast<unsigned char>(Channel(pixel, image.blue_mask))});
        }
    }
    return pixels;
}

bool WritePpm(const char* path, const std::vector<Rgb>& pixels, int width, int height) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    std::fwrite(pixels.data(), sizeof(Rgb), pixels.size(), file);
    return std::fclose(file) == 0;
}

void PrintLitPixels(const std::vector<Rgb>& pixels, int width) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Rgb& p = pixels[i];
        if (p.Red == 0 && p.Green == 0 && p.Blue == 0) continue;
        std::printf("%zu %zu %u %u %u\n", i % static_cast<std::size_t>(width), i / static_cast<std::size_t>(width),
                    p.Red, p.Green, p.Blue);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_pixels WINDOW_ID PPM_FILE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "window_pixels: cannot open the display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        std::fprintf(stderr, "window_pixels: no such window\n");
        return 1;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "window_pixels: the window's picture cannot be read\n");
        return 1;
    }
    const std::vector<Rgb> pixels = ReadPixels(*image);
    const bool written = WritePpm(argv[2], pixels, image->width, image->height);
    PrintLitPixels(pixels, image->width);
    XDestroyImage(image);
    XCloseDisplay(display);
    return written ? 0 : 1;
}
