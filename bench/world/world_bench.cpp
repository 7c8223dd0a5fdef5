// The world's heaviest ordinary frame: 300 particles, 20 pop-ups, 40 trail rings,
// 10 shots, the target, ball and paddle, a live bumper ring and a live gate, updated
// and drawn; p50 and p99 of many frames.
// Usage: world_bench [FRAMES]   (scripts/bench-world builds and runs it)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/ttf_fonts.h"
#include "render/canvas.h"
#include "render/font.h"
#include "render/world_drawing.h"
#include "world/ball_paddle.h"
#include "world/objects.h"
#include "world/tick.h"

namespace {

using namespace zorblet;

class SilentTones final : public sound::ToneStarter {
public:
    void StartTone(sound::ToneEffect, std::int32_t) override {}
};

world::World HeavyWorld() {
    world::World w;
    world::StartWorld(w, 42);
    w.TargetX = 300, w.TargetY = 200, w.TargetSize = 10.0f;
    w.BallX = 250, w.BallY = 300, w.BallVX = 1.5f, w.BallVY = -2.0f;
    std::mt19937 place(7);
    std::uniform_int_distribution<int> x(20, 580), y(20, 560), angle(0, 359);
    for (int i = 0; i < 300; ++i) {
        world::AddParticle(w, render::RGB(150, 150, 0), x(place), y(place), static_cast<float>(angle(place)),
                           static_cast<float>(angle(place)), 1.2f, 3.0f);
    }
    for (int i = 0; i < 20; ++i) {
        const char* text = i % 2 ? "250" : "1000";
        world::AddPopup(w, text, x(place), y(place), 265.0f, 2.0f, world::PopupHalfWidth(text));
    }
    for (int i = 0; i < 40; ++i) world::AddTrailRing(w, x(place), y(place), 20, 1.0f, render::RGB(100, 100, 0));
    for (int i = 0; i < 10; ++i) world::AddShot(w, x(place), y(place), static_cast<float>(angle(place)), 4.0f);
    w.RingSize = 10.0f, w.RingX = 450, w.RingY = 350;
    std::fill(w.RingFlags.begin() + 1, w.RingFlags.end(), true);
    w.GatePostRadius = 5.0f, w.GateHalfWidth = 60.0f, w.GateX = 150, w.GateY = 450;
    return w;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
    platform::TtfFontLoader loader;
    render::Fonts fonts = render::CreateFonts(loader);
    render::Canvas canvas;
    SilentTones tones;
    const world::World heavy = HeavyWorld();
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        world::World w = heavy;  // the same load every frame
        w.AnimAngle = (2 * i) % 3600;
        canvas.BeginDrawing();
        const auto start = std::chrono::steady_clock::now();
        if (world::BallBelowFloor(w)) world::ResetBallAndPaddle(w);
        world::TickWorld(w, world::TickInput{}, tones);
        render::DrawWorld(w, canvas, fonts);
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::printf(
        "heavy world frame (300 particles, 20 pop-ups, 40 rings, 10 shots, target, ball, paddle,\n"
        "                   live bumper ring and gate)\n");
    std::printf("frames measured           %d\n", frames);
    std::printf("update and draw p50       %.3f ms (goal at most 0.3 ms)\n", Percentile(micros, 50) / 1000.0);
    std::printf("update and draw p99       %.3f ms\n", Percentile(micros, 99) / 1000.0);
    return 0;
}
