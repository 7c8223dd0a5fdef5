// Angles, distances and the bounce off a circle.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "world/collision.h"
#include "world/geometry.h"

namespace zorblet::world {
namespace {

TEST(Geometry, VectorAngleCoversEveryQuadrantAndTheAxes) {
    struct Case {
        float vx, vy, degrees;
    } const cases[] = {
        {0, 0, 90},    {0, 1, 90},   {0, -1, -90}, {1, 0, 0},          {-1, 0, 180},        {1, -1, -45},
        {-1, -1, 225}, {-1, 1, 135}, {1, 1, 45},   {3, 4, 53.130102f}, {1e-30f, 1e30f, 90}, {-1e-30f, -1e30f, 270},
    };
    for (const auto& c : cases) {
        const float angle = VectorAngle(c.vx, c.vy);
        EXPECT_NEAR(angle, c.degrees, 1e-4) << c.vx << ", " << c.vy;
        EXPECT_GE(angle, -90.0f);
        EXPECT_LE(angle, 270.0f);
    }
}

TEST(Geometry, VectorAngleAndLengthGiveBackPolarMotion) {
    for (float a = -720.0f; a <= 720.0f; a += 7.5f) {
        const float vx = 3.0f * CosDeg(a), vy = 3.0f * SinDeg(a);
        const float back = VectorAngle(vx, vy);
        EXPECT_NEAR(std::remainder(back - a, 360.0f), 0.0f, 2e-3) << a;
        EXPECT_NEAR(VectorLength(vx, vy), 3.0f, 1e-5) << a;
    }
}

TEST(Geometry, PointDistanceOfIntegerPoints) {
    EXPECT_EQ(PointDistance(0, 0, 3, 4), 5.0f);
    EXPECT_EQ(PointDistance(300, 460, 300, 500), 40.0f);
    EXPECT_EQ(PointDistance(300, 461, 300, 500), 39.0f);
    EXPECT_EQ(PointDistance(7, 7, 7, 7), 0.0f);
    EXPECT_NEAR(PointDistance(INT32_MIN, 0, INT32_MAX, 0), 4294967295.0f, 1000.0f) << "no overflow";
}

struct BounceCase {
    const char* Name;
    float bx, by, px, py, dir, speed;
    float newDir, newSpeed;
};

TEST(BounceOffCircle, TheWorkedCases) {
    const BounceCase cases[] = {
        {"straight down onto a circle below", 300, 455, 300, 480, 90, 4, 630, 4},
        {"towards a circle on the left keeps its vertical motion", 330, 480, 300, 480, 135, 2, 765, 2},
        {"moving away is turned towards the circle", 330, 480, 300, 480, 0, 3, 900, 3},
        {"diagonal line of centres sends it off horizontally", 310, 470, 300, 480, 90, 5, 720, 5},
        {"at rest stays at rest", 310, 470, 300, 480, 90, 0, 0, 0},
        {"above the circle and rising: turned back down", 300, 400, 300, 480, -90, 2, 810, 2},
    };
    for (const auto& c : cases) {
        const PolarVelocity v = BounceOffCircle(c.bx, c.by, c.px, c.py, c.dir, c.speed);
        EXPECT_NEAR(v.Speed, c.newSpeed, 1e-4) << c.Name;
        if (c.newSpeed != 0) {
            EXPECT_NEAR(v.Dir, c.newDir, 1e-3) << c.Name;
        }
    }
}

TEST(BounceOffCircle, CoincidentCentresLeaveTheVelocityUnchanged) {
    for (float dir : {-90.0f, 0.0f, 45.0f, 90.0f, 269.0f}) {
        const PolarVelocity v = BounceOffCircle(120.5f, 80.25f, 120.5f, 80.25f, dir, 6.0f);
        EXPECT_EQ(v.Dir, dir);
        EXPECT_EQ(v.Speed, 6.0f);
    }
}

// Whatever the geometry, the result is the mirror image of v at the tangent: v - 2 (v.n) n.
TEST(BounceOffCircle, MirrorsTheVelocityAtTheTangentForAnyGeometry) {
    std::mt19937 engine(7);
    std::uniform_real_distribution<float> position(-50.0f, 50.0f), angle(-90.0f, 270.0f), speed(0.0f, 12.0f);
    for (int i = 0; i < 20000; ++i) {
        const float bx = position(engine), by = position(engine), px = position(engine), py = position(engine);
        const float dir = angle(engine), s = speed(engine);
        const PolarVelocity v = BounceOffCircle(bx, by, px, py, dir, s);
        ASSERT_TRUE(std::isfinite(v.Dir) && std::isfinite(v.Speed));
        ASSERT_GE(v.Speed, 0.0f);
        const double length = std::hypot(bx - px, by - py);
        if (length < 1e-3) continue;
        const double nx = (bx - px) / length, ny = (by - py) / length;
        const double vx = s * std::cos(dir * M_PI / 180), vy = s * std::sin(dir * M_PI / 180);
        const double dot = vx * nx + vy * ny;
        const double ex = vx - 2 * dot * nx, ey = vy - 2 * dot * ny;
        ASSERT_NEAR(v.Speed * std::cos(v.Dir * M_PI / 180), ex, 2e-3 * (1 + s)) << i;
        ASSERT_NEAR(v.Speed * std::sin(v.Dir * M_PI / 180), ey, 2e-3 * (1 + s)) << i;
    }
}

TEST(BounceOffCircle, SlidingExactlyAcrossTheLineOfCentresKeepsItsVelocity) {
    // Line of centres vertical (contact angle 450), ball moving straight right: no normal part.
    const PolarVelocity v = BounceOffCircle(300, 455, 300, 480, 0, 4);
    EXPECT_NEAR(v.Speed * CosDeg(v.Dir), 4.0f, 1e-4);
    EXPECT_NEAR(v.Speed * SinDeg(v.Dir), 0.0f, 1e-4);
}

}  // namespace
}  // namespace zorblet::world
