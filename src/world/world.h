#pragma once
// The world: ball, paddle, target and the four object lists, with the game state
// the world reads and changes. Plain data; the passes that move it live beside it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zorblet::world {

inline constexpr std::int32_t PlayfieldSize = 600;
inline constexpr float FloorLine = 620.0f;
inline constexpr float CeilingLine = -100.0f;
inline constexpr float Gravity = 0.03f;
inline constexpr std::int32_t CountdownStart = 602;
inline constexpr float TargetFullSize = 10.0f;

// A fading ring left behind the ball.
struct TrailRing {
    float x = 0, y = 0;
    float radius = 0;
    float brightness = 0;  // factor on each colour channel
    std::int32_t colour = 0;
};

// A shot from the paddle; x, y is its tip.
struct Shot {
    float x = 0, y = 0;
    float angle = 0;  // degrees
    float speed = 0;  // pixels per frame
};

// One spinning stroke of a burst.
struct Particle {
    std::int32_t colour = 0;
    float x = 0, y = 0;
    float angle = 0;  // direction of motion, degrees
    float rot = 0;    // orientation of the stroke, degrees
    float speed = 0;
    float spin = 0;  // degrees per unpaused frame
};

// A score text thrown upward; x is its centre, y its top edge.
struct Popup {
    std::string text;
    float x = 0, y = 0;
    float angle = 0;
    float speed = 0;
};

// The state of play that the world reads and changes; the frame owns the rest.
struct GameState {
    std::int32_t Lives = 0;  // above 0 while a game runs; 0 in the menu
    float Score = 0.0f;
    std::int32_t Paused = 0;
    std::int32_t Countdown = CountdownStart;
    std::int32_t AnimAngle = 0;  // degrees, +2 per unpaused frame, kept below 3600
};

struct World : GameState {
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

    std::int32_t FireLatch = 0;    // 1 while the left button is held in a game
    std::int32_t TrailToggle = 0;  // flips every simulated step; a ring on every second one

    // What the latest mouse read reported; kept until the next read.
    std::int32_t MouseDeltaX = 0, MouseDeltaY = 0;

    // The bumper ring: six bumpers of radius RingSize around (RingX, RingY). RingSize is
    // also the ring's life: a wait while negative, growing in up to 10, live at exactly 10.
    float RingSize = -800.0f;
    std::int32_t RingX = 0, RingY = 0;
    std::array<std::int32_t, 7> RingFlags{};  // [1] to [6]: 1 while that bumper stands

    // The gate: two posts of radius GatePostRadius at GateHalfWidth left and right of
    // (GateX, GateY), a beam between them. The radius is the gate's life as for the ring,
    // live at exactly 5.
    float GatePostRadius = -400.0f;
    float GateHalfWidth = 75.0f;
    std::int32_t GateX = 300, GateY = 300;
};

// The world moves only while this holds.
inline bool SimulationActive(const GameState& state) {
    return (state.Countdown == 0 || state.Lives == 0) && state.Paused == 0;
}

}  // namespace zorblet::world
