// The game's own sine, cosine and arc tangent against the C library: a table of edge
// angles, then a sweep across the floats; and SinCosRad against SinRad and CosRad. Against the library's long double functions,
// rounded to a float, the results agree (but where the exact value lies nearer the middle
// between two floats than either can tell); the library's float functions are not
// correctly rounded and differ from both by one unit in the last place now and then,
// never by more.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "shared/game_math.h"

namespace zorblet {
namespace {

// Floats in order as integers, so that neighbours differ by 1 and +0 equals -0.
std::int64_t Ordered(float value) {
    const auto bits = static_cast<std::int64_t>(std::bit_cast<std::uint32_t>(value));
    return bits & 0x80000000 ? 0x80000000 - bits : bits;
}

std::int64_t UlpDistance(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : 1 << 30;
    return std::llabs(Ordered(a) - Ordered(b));
}

struct Tally {
    std::int64_t Largest = 0;
    long Points = 0, Differing = 0;
    float WorstInput = 0;
    void Add(float input, float ours, float library) {
        const std::int64_t d = UlpDistance(ours, library);
        ++Points;
        if (d != 0) ++Differing;
        if (d > Largest) Largest = d, WorstInput = input;
    }
};

// The three functions against the library's float and long double ones, and the sine and
// cosine of one reduction against the two apart.
struct Tallies {
    Tally Sin, Cos, Atan, SinWide, CosWide, AtanWide;
    long SinCosApart = 0;
    void Compare(float x) {
        float sine = 0.0f, cosine = 0.0f;
        SinCosRad(x, sine, cosine);
        SinCosApart += UlpDistance(sine, SinRad(x)) != 0 || std::signbit(sine) != std::signbit(SinRad(x)) ||
                       UlpDistance(cosine, CosRad(x)) != 0 || std::signbit(cosine) != std::signbit(CosRad(x));
        const auto wide = static_cast<long double>(x);
        Sin.Add(x, SinRad(x), std::sin(x));
        Cos.Add(x, CosRad(x), std::cos(x));
        Atan.Add(x, ArcTan(x), std::atan(x));
        SinWide.Add(x, SinRad(x), static_cast<float>(std::sin(wide)));
        CosWide.Add(x, CosRad(x), static_cast<float>(std::cos(wide)));
        AtanWide.Add(x, ArcTan(x), static_cast<float>(std::atan(wide)));
    }
};

void Report(const char* name, const Tally& t, long perDiffering) {
    std::printf("%-26s %ld points, %ld differ by one unit in the last place, largest difference %lld (at %.9g)\n", name,
                t.Points, t.Differing, static_cast<long long>(t.Largest), static_cast<double>(t.WorstInput));
    EXPECT_LE(t.Largest, 1) << name << " at " << t.WorstInput;
    EXPECT_LE(t.Differing * perDiffering, t.Points) << name << ": at most one result in " << perDiffering << " differs";
}

void ReportAll(const Tallies& t) {
    Report("sin vs float sin", t.Sin, 50);
    Report("cos vs float cos", t.Cos, 50);
    Report("atan vs float atan", t.Atan, 50);
    Report("sin vs long double sin", t.SinWide, 100000);
    Report("cos vs long double cos", t.CosWide, 100000);
    Report("atan vs long double atan", t.AtanWide, 100000);
    EXPECT_EQ(t.SinCosApart, 0) << "SinCosRad gives SinRad's and CosRad's bits";
}

TEST(GameMath, EdgeAnglesAgreeWithTheCLibrary) {
    Tallies t;
    // Degrees as the game converts them, and the radians around the reduction's seams.
    for (float degrees : {0.0f, 1.0f, 5.0f, 20.0f, 30.0f, 45.0f, 60.0f, 90.0f, 120.0f, 135.0f, 180.0f, 225.0f, 250.0f,
                          270.0f, 290.0f, 360.0f, 450.0f, 540.0f, 630.0f, 720.0f, 765.0f, 900.0f, 1080.0f, 3598.0f,
                          3600.0f, 7200.0f, 1e5f, 1e6f, 16777216.0f}) {
        for (float sign : {1.0f, -1.0f}) t.Compare(sign * degrees * DegToRad);
    }
    for (double seam = 0.25; seam <= 64.0; seam += 0.25) {  // multiples of pi/4
        const auto x = static_cast<float>(seam * 3.14159265358979323846);
        for (float near : {std::nextafter(x, 0.0f), x, std::nextafter(x, 1e9f)}) {
            t.Compare(near);
            t.Compare(-near);
        }
    }
    const float extremes[] = {0.0f,
                              -0.0f,
                              std::numeric_limits<float>::denorm_min(),
                              std::numeric_limits<float>::min(),
                              1e-20f,
                              1e-4f,
                              0.7853981f,
                              0.7853982f,
                              1.0f,
                              1e4f,
                              1e10f,
                              1e20f,
                              1e30f,
                              16367173.0f * 4722366482869645213696.0f,  // very near a multiple of pi/2
                              std::numeric_limits<float>::max()};
    for (float x : extremes) {
        t.Compare(x);
        t.Compare(-x);
    }
    ReportAll(t);
    EXPECT_TRUE(std::isnan(SinRad(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isnan(CosRad(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(ArcTan(std::numeric_limits<float>::infinity()), std::atan(std::numeric_limits<float>::infinity()));
    EXPECT_EQ(SinDeg(90.0f), 1.0f);
    EXPECT_EQ(CosDeg(0.0f), 1.0f);
}

// Every 1999th float from the smallest to the largest finite one, of both signs: about
// 2.1 million points, every size of argument the reduction meets.
TEST(GameMath, SweepAcrossTheFloatsAgreesWithTheCLibrary) {
    Tallies t;
    for (std::uint32_t bits = 1; bits < 0x7F800000u; bits += 1999) {
        const float x = std::bit_cast<float>(bits);
        t.Compare(x);
        t.Compare(-x);
    }
    ReportAll(t);
}

}  // namespace
}  // namespace zorblet
