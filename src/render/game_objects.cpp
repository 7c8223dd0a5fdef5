#include "render/game_objects.h"

#include "shared/game_math.h"

namespace zorblet::render {

namespace {

// A point at distance r from (x, y) in the direction of degrees.
struct Point {
    std::int32_t X, Y;
};
Point PointOnCircle(std::int32_t x, std::int32_t y, std::int32_t r, float degrees) {
    return {x + RoundToInt(static_cast<float>(r) * CosDeg(degrees)),
            y + RoundToInt(static_cast<float>(r) * SinDeg(degrees))};
}

void DrawChord(Canvas& canvas, Point from, Point to) {
    canvas.DrawSegment(from.X, from.Y, to.X, to.Y);
}

// A line of the given length from (x, y) back against the direction of degrees.
void DrawTrailingLine(Canvas& canvas, float x, float y, float length, float degrees, Colour colour) {
    canvas.DrawLine(RoundToInt(x), RoundToInt(y), -RoundToInt(length * CosDeg(degrees)),
                    -RoundToInt(length * SinDeg(degrees)), colour);
}

}  // namespace

void DrawTrailRing(Canvas& canvas, float x, float y, float radius, float brightness, Colour colour) {
    const Colour faded = RGB(RoundToInt(static_cast<float>(RedOf(colour)) * brightness),
                             RoundToInt(static_cast<float>(GreenOf(colour)) * brightness),
                             RoundToInt(static_cast<float>(BlueOf(colour)) * brightness));
    canvas.DrawCircle(RoundToInt(x), RoundToInt(y), RoundToInt(radius), faded);
}

void DrawBall(Canvas& canvas, float x, float y, std::int32_t radius, std::int32_t tintRed, std::int32_t tintGreen) {
    const Colour colour = BallColour(tintRed, tintGreen);
    canvas.DrawCircle(RoundToInt(x), RoundToInt(y), radius, colour);
    canvas.DrawCircle(RoundToInt(x), RoundToInt(y), radius - 1, colour);
}

void DrawPaddle(Canvas& canvas, std::int32_t x, std::int32_t y, std::int32_t radius, float angle) {
    canvas.SetColour(PaddleColour);
    for (std::int32_t r = radius; r <= radius + 1; ++r) {
        const auto corner = [&](float offset) { return PointOnCircle(x, y, r, angle + offset); };
        DrawChord(canvas, corner(0.0f), corner(120.0f));
        // The side facing away from the ball bends outward along the circle.
        for (int k = 120; k <= 220; k += 20) {
            DrawChord(canvas, corner(static_cast<float>(k)), corner(static_cast<float>(k + 20)));
        }
        DrawChord(canvas, corner(0.0f), corner(240.0f));
    }
}

void DrawShot(Canvas& canvas, float x, float y, float angle) {
    for (float spread : {0.0f, 5.0f, -5.0f}) DrawTrailingLine(canvas, x, y, 10.0f, angle + spread, ShotColour);
}

void DrawTarget(Canvas& canvas, std::int32_t x, std::int32_t y, float size, std::int32_t animAngle) {
    const std::int32_t s = RoundToInt(50.0f * SinDeg(static_cast<float>(animAngle)));
    const Colour colour = RGB(200 - s, 200 - s, 0);
    canvas.DrawCircle(x, y, RoundToInt(size), colour);
    canvas.DrawCircle(x, y, RoundToInt(size - 1.0f), colour);
}

void DrawParticle(Canvas& canvas, float x, float y, float rot, Colour colour) {
    DrawTrailingLine(canvas, x, y, 7.0f, rot, colour);
}

void DrawPopup(Canvas& canvas, std::string_view text, float x, float y, std::int32_t halfWidth) {
    canvas.SetTextPosition(RoundToInt(x - static_cast<float>(halfWidth)), RoundToInt(y));
    canvas.DrawText(text);
}

}  // namespace zorblet::render
