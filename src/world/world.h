#pragma once
// The world: ball, paddle, target, the four object lists and the two extras, with the
// score they earn. Plain data; the tick moves it, render draws it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/colour.h"
#include "shared/playfield.h"
#include "world/random_stream.h"

namespace zorblet::world {

using zorblet::PlayfieldSize;
inline constexpr float FloorLine = 620.0f;
inline constexpr float CeilingLine = -100.0f;
inline constexpr float Gravity = 0.03f;
inline constexpr float TargetFullSize = 10.0f;

// The extras' life values: live at exactly these sizes, waiting while negative.
inline constexpr float RingLiveSize = 10.0f;
inline constexpr float GateLiveRadius = 5.0f;
inline constexpr float RingWaitAtStart = -800.0f;  // also after its sixth bumper
inline constexpr float GateWaitAtStart = -400.0f;

// A pop-up's text is its points, in digits, and its font is monospaced: every digit is as
// wide as the pop-up font's cell (Courier New or a face with its metrics, bold, at an em
// of 19 pixels), a test holds the real font to it. What the world decides must not wait
// for a font: a replay on the highscore service has none.
inline constexpr std::int32_t PopupDigitAdvance = 11;

// What the ball's travel and the extras earn; the pop-up shows the points.
inline constexpr std::int32_t TargetReward = 250;
inline constexpr std::int32_t BumperReward = 300;
inline constexpr std::int32_t GateReward = 1000;
inline constexpr std::int32_t ShotCost = 10;

// A fading ring left behind the ball.
struct TrailRing {
    float X = 0, Y = 0;
    float Radius = 0;
    float Brightness = 0;  // factor on each colour channel
    std::int32_t Colour = 0;
};

// A shot from the paddle; X, Y is its tip.
struct Shot {
    float X = 0, Y = 0;
    float Angle = 0;  // degrees
    float Speed = 0;  // pixels per frame
};

// One spinning stroke of a burst.
struct Particle {
    std::int32_t Colour = 0;
    float X = 0, Y = 0;
    float Angle = 0;  // direction of motion, degrees
    float Rot = 0;    // orientation of the stroke, degrees
    float Speed = 0;
    float Spin = 0;  // degrees per unpaused frame
};

// A score text thrown upward; X is its centre, Y its top edge. Its half width, measured
// once when it is made, keeps it between the walls.
struct Popup {
    std::string Text;
    float X = 0, Y = 0;
    float Angle = 0;
    float Speed = 0;
    std::int32_t HalfWidth = 0;
};

// What the picture shows of a frame whose later steps moved things on: the frame's order
// draws each object right after its pass, so the ball before the paddle's contact and
// the extras push it, and the rest as the passes left them.
struct DrawnAsOf {
    float BallX = 300.0f, BallY = 100.0f;
    std::int32_t BallTintRed = 0, BallTintGreen = 200;
    std::vector<TrailRing> ExpiredRings;  // drawn one last time at their end
    std::vector<Shot> HitShots;           // drawn where they hit, then gone
    std::size_t Particles = 0;            // the particles the pass reached; later ones wait a frame
    std::size_t Popups = 0;
    float GatePostRadius = GateWaitAtStart;  // the gate as drawn, before a fly-through or collapse
};

struct World {
    // The game's numbers (where targets and extras stand, the ball's start, the
    // demonstration's shots), and the decoration's (particles, pop-ups): a change to the
    // decoration never moves a target. Both are seeded when a game starts.
    RandomStream GameRandom;
    RandomStream DecorationRandom;

    float Score = 0.0f;          // points of the running or the last game
    std::int32_t AnimAngle = 0;  // degrees, +2 per unpaused frame, kept below 3600

    float BallX = 300.0f, BallY = 100.0f;
    float BallVX = 0.0f, BallVY = 0.0f;
    std::int32_t BallRadius = 20;
    std::int32_t BallTintRed = 0, BallTintGreen = 200;

    std::int32_t PaddleX = 300, PaddleY = 500;
    std::int32_t PaddleRadius = 20;
    float PaddleAngle = 0.0f;  // degrees, from the paddle's centre towards the ball

    std::int32_t TargetX = 0, TargetY = 0;
    float TargetSize = 0.0f;  // radius and life: hittable only at exactly 10, a delay while negative

    std::vector<TrailRing> TrailRings;
    std::vector<Shot> Shots;
    std::vector<Particle> Particles;
    std::vector<Popup> Popups;

    bool FireLatch = false;    // while the left button is held in a game
    bool TrailToggle = false;  // flips every simulated step; a ring on every second one

    // What the latest mouse read reported; kept until the next read.
    std::int32_t MouseDeltaX = 0, MouseDeltaY = 0;

    // The bumper ring: six bumpers of radius RingSize around (RingX, RingY). RingSize is
    // also the ring's life: a wait while negative, growing in up to 10, live at exactly 10.
    float RingSize = RingWaitAtStart;
    std::int32_t RingX = 0, RingY = 0;
    std::array<bool, 7> RingFlags{};  // [1] to [6]: while that bumper stands

    // The gate: two posts of radius GatePostRadius at GateHalfWidth left and right of
    // (GateX, GateY), a beam between them. The radius is the gate's life as for the ring,
    // live at exactly 5.
    float GatePostRadius = GateWaitAtStart;
    float GateHalfWidth = 75.0f;
    std::int32_t GateX = 300, GateY = 300;

    DrawnAsOf Drawn;

    // Whether trail rings, particles and pop-ups are made at all. Nothing of the game
    // depends on them, so a replay that wants the score alone leaves them out (they are
    // most of a busy frame's work); a new game keeps the choice.
    bool Decorated = true;
};

// Half the width of a pop-up's text as it is drawn, rounded down.
inline std::int32_t PopupHalfWidth(const std::string& text) {
    return static_cast<std::int32_t>(text.size()) * PopupDigitAdvance / 2;
}

// The ball's colour for its tint; a paddle contact's burst takes it too.
constexpr Colour BallColour(std::int32_t tintRed, std::int32_t tintGreen) {
    return RGB(tintRed + 50, tintGreen + 50, 50);
}

}  // namespace zorblet::world
