#pragma once
// How the ball, the paddle and the small objects of the world look. Positions come in
// as the world keeps them (floats) and are rounded here, halves to even.

#include <cstdint>
#include <string_view>

#include "render/canvas.h"
#include "world/world.h"

namespace zorblet::render {

inline constexpr Colour PaddleColour = RGB(50, 50, 200);
inline constexpr Colour ShotColour = RGB(128, 128, 128);

// A ring of its stored colour, each channel scaled by its brightness.
void DrawTrailRing(Canvas& canvas, float x, float y, float radius, float brightness, Colour colour);
// The hollow ball: two outlines, radius and radius - 1, in its tint.
void DrawBall(Canvas& canvas, float x, float y, std::int32_t radius, std::int32_t tintRed, std::int32_t tintGreen);
// The rounded triangle whose corner points along angle (degrees), two pixels thick.
void DrawPaddle(Canvas& canvas, std::int32_t x, std::int32_t y, std::int32_t radius, float angle);
// Three short lines trailing behind the shot's tip: a dart pointing where it flies.
void DrawShot(Canvas& canvas, float x, float y, float angle);
// The yellow target, pulsing with animAngle, drawn as a thick ring of radius size.
void DrawTarget(Canvas& canvas, std::int32_t x, std::int32_t y, float size, std::int32_t animAngle);
// A short stroke from the particle's position, turned by rot degrees.
void DrawParticle(Canvas& canvas, float x, float y, float rot, Colour colour);
// A score text centred on x with its top at y, in the font and colour already set;
// halfWidth is half the text's width, rounded down.
void DrawPopup(Canvas& canvas, std::string_view text, float x, float y, std::int32_t halfWidth);
// The text, in the font and colour already set, as DrawPopup centres it.
inline void DrawPopup(Canvas& canvas, std::string_view text, float x, float y) {
    DrawPopup(canvas, text, x, y, canvas.TextWidth(text) / 2);
}

using world::BallColour;

}  // namespace zorblet::render
