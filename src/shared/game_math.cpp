#include "shared/game_math.h"

#include <array>
#include <cstdint>

#include "shared/float_bits.h"

// Sine and cosine: the float argument is reduced modulo pi/2 (Cody and Waite's three-part
// pi/2 for arguments up to 2^19, the first two products exact; the bits of 2/pi in integer
// arithmetic beyond), the reduced argument's sine or cosine is summed in double from its
// Taylor series, and the result is rounded to a float once. The arc tangent takes the
// nearest eighth c to its argument x (above 1, to 1/x, and then pi/2 less), and adds atan c
// from a table to the Taylor series of atan((x - c) / (1 + x c)), also in double. Only IEEE operations (+, -,
// *, /) in a fixed order, never fused: every conforming machine computes the same bits,
// and they are the true values correctly rounded but where the true value lies within
// about 2^-44 of itself of the middle between two floats (none among the tests' millions).

namespace zorblet {

namespace {

constexpr double HalfPi = 1.5707963267948966192;  // pi/2 rounded to a double
constexpr double QuarterPi = 0.78539816339744830962;

// 2/pi in binary, 32 bits a word: the first word holds the bits 1 to 32 after the point.
// A word of zeros in front stands for the integer part and the bits of the window below
// that fall before the point.
constexpr std::uint32_t TwoOverPi[] = {
    0x00000000, 0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599,
    0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0,
};

// The 32 bits of 2/pi that start at the given bit after the point (bit 1 is the first;
// bits at 0 and before it are the integer part, 0).
std::uint64_t TwoOverPiBits(int first) {
    const int index = first + 31;  // counted from the first bit of the word of zeros
    const int word = index / 32, shift = index % 32;
    std::uint64_t bits = std::uint64_t{TwoOverPi[word]} << shift;
    if (shift != 0) bits |= std::uint64_t{TwoOverPi[word + 1]} >> (32 - shift);
    return bits & 0xFFFFFFFFu;
}

// An angle as a number of quarter turns and what is left over, |Rest| <= pi/4.
struct Reduced {
    unsigned Quadrant;
    double Rest;
};

// x = Quadrant * pi/2 + Rest for |x| > pi/4, finite. With |x| = m * 2^e (m a 24-bit
// integer), x * 2/pi modulo 4 needs only the 128 bits of 2/pi from bit e - 1 on: the bits
// before them give multiples of 4, the ones after add less than 2^-102.
Reduced ReduceQuarterTurns(float x) {
    const std::uint32_t bits = FloatBits(x);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF) - 150;
    const std::uint64_t mantissa = (bits & 0x7FFFFF) | 0x800000;
    const int first = exponent - 1;
    // mantissa times the 128-bit window, modulo 2^128, a 32-bit word at a time.
    std::uint64_t words[4];
    std::uint64_t carry = 0;
    for (int i = 3; i >= 0; --i) {
        const std::uint64_t product = mantissa * TwoOverPiBits(first + 32 * i) + carry;
        words[i] = product & 0xFFFFFFFFu;
        carry = product >> 32;
    }
    // A fixed-point number with 2 integer bits (quarter turns modulo 4) and 126 fraction
    // bits; rounding to the nearest quarter turn leaves a fraction in [-1/2, 1/2).
    std::uint64_t high = (words[0] << 32) | words[1];
    std::uint64_t low = (words[2] << 32) | words[3];
    const std::uint64_t half = std::uint64_t{1} << 61;  // 2^125 in the high word
    const std::uint64_t sum = high + half;
    high = sum;
    const auto quadrant = static_cast<unsigned>(high >> 62);
    const auto fraction = static_cast<std::int64_t>(high & ((std::uint64_t{1} << 62) - 1)) -
                          static_cast<std::int64_t>(half);
    const double turns = static_cast<double>(fraction) * 0x1p-62 + static_cast<double>(low) * 0x1p-126;
    Reduced reduced{quadrant, turns * HalfPi};
    if ((bits >> 31) != 0) {
        reduced.Quadrant = (4 - reduced.Quadrant) & 3;
        reduced.Rest = -reduced.Rest;
    }
    return reduced;
}

constexpr double Factorial(int n) {
    double f = 1.0;
    for (int i = 2; i <= n; ++i) f *= i;  // exact up to 20!
    return f;
}

// The coefficients of a series, highest power first: sign / divisor(n) for n = last,
// last - 2, ..., first, the sign alternating from - at n = first.
template <int First, int Last, typename Divisor>
constexpr std::array<double, (Last - First) / 2 + 1> Coefficients(Divisor divisor) {
    std::array<double, (Last - First) / 2 + 1> c{};
    for (int n = Last, i = 0; n >= First; n -= 2, ++i) c[i] = (((n - First) / 2) % 2 == 0 ? -1.0 : 1.0) / divisor(n);
    return c;
}

// -1/3!, 1/5!, ..., 1/13!: sin r = r + r^3 (-1/3! + r^2/5! - ...); the first term left
// out, r^15/15!, is below 2^-44 of the result for |r| <= pi/4.
constexpr auto SinCoefficients = Coefficients<3, 13>(Factorial);
// -1/2!, 1/4!, ..., -1/14!: cos r = 1 + r^2 (-1/2! + r^2/4! - ...); r^16/16! is below 2^-49.
constexpr auto CosCoefficients = Coefficients<2, 14>(Factorial);
// -1/3, 1/5, ..., -1/11: atan u = u + u^3 (-1/3 + u^2/5 - ...); for |u| <= 1/16 the first
// term left out, u^13/13, is below 2^-51 of the result.
constexpr auto ArcTanCoefficients = Coefficients<3, 11>([](int n) { return static_cast<double>(n); });

// The polynomial in z with these coefficients (highest power first) by Estrin's scheme:
// neighbouring terms paired with z, the pairs with z^2, those with z^4, so that the
// multiplications do not all wait on each other in one chain as in Horner's rule.
double Polynomial(const std::array<double, 5>& c, double z) {
    const double z2 = z * z;
    return (c[4] + c[3] * z) + z2 * ((c[2] + c[1] * z) + z2 * c[0]);
}
double Polynomial(const std::array<double, 6>& c, double z) {
    const double z2 = z * z;
    const double z4 = z2 * z2;
    return (c[5] + c[4] * z) + z2 * (c[3] + c[2] * z) + z4 * (c[1] + c[0] * z);
}
double Polynomial(const std::array<double, 7>& c, double z) {
    const double z2 = z * z;
    const double z4 = z2 * z2;
    return (c[6] + c[5] * z) + z2 * (c[4] + c[3] * z) + z4 * ((c[2] + c[1] * z) + z2 * c[0]);
}

double SinSeries(double r) {
    const double z = r * r;
    return r + r * z * Polynomial(SinCoefficients, z);
}

double CosSeries(double r) {
    const double z = r * r;
    return 1.0 + z * Polynomial(CosCoefficients, z);
}

double ArcTanSeries(double u) {
    const double z = u * u;
    return u + u * z * Polynomial(ArcTanCoefficients, z);
}

// sin of Quadrant * pi/2 + Rest.
double SinOfReduced(Reduced x) {
    switch (x.Quadrant & 3) {
        case 0:
            return SinSeries(x.Rest);
        case 1:
            return CosSeries(x.Rest);
        case 2:
            return -SinSeries(x.Rest);
        default:
            return -CosSeries(x.Rest);
    }
}

// Its sine and cosine both, as SinOfReduced gives each: the two series of Rest, each
// negated or not and swapped or not by the quadrant. Without a branch on the quadrant,
// which follows no pattern where many directions are turned at once.
struct SineCosine {
    double Sine, Cosine;
};
SineCosine SinCosOfReduced(Reduced x) {
    const double sine = SinSeries(x.Rest);
    const double cosine = CosSeries(x.Rest);
    const bool swapped = (x.Quadrant & 1) != 0;
    const double sineSign = (x.Quadrant & 2) != 0 ? -1.0 : 1.0;     // the quadrants 2 and 3
    const double cosineSign = ((x.Quadrant + 1) & 2) != 0 ? -1.0 : 1.0;  // 1 and 2
    return {(swapped ? cosine : sine) * sineSign, (swapped ? sine : cosine) * cosineSign};
}

// pi/2 as P1 + P2 + P3: P1 and P2 of 33 bits, so that k * P1 and k * P2 are exact for
// |k| < 2^20, P3 the next 53 bits.
constexpr double P1 = 0x1.921fb544p+0;
constexpr double P2 = 0x1.0b4611a6p-34;
constexpr double P3 = 0x1.3198a2e037073p-69;
constexpr double TwoOverPiDouble = 0x1.45f306dc9c883p-1;
constexpr double CodyWaiteLimit = 524288.0;  // 2^19
constexpr double RoundingShift = 0x1.8p52;   // adding and taking it away rounds to an integer

Reduced Reduce(float x) {
    const double d = x;
    if (!(std::fabs(d) > QuarterPi)) return {0, d};
    if (!(std::fabs(d) < CodyWaiteLimit)) return ReduceQuarterTurns(x);
    const double k = (d * TwoOverPiDouble + RoundingShift) - RoundingShift;
    const double rest = ((d - k * P1) - k * P2) - k * P3;
    return {static_cast<unsigned>(static_cast<std::int64_t>(k)) & 3u, rest};
}

// atan(j/8) for j = 0 to 8, correctly rounded.
constexpr double ArcTanOfEighths[] = {
    0.0,
    0x1.fd5ba9aac2f6ep-4,
    0x1.f5b75f92c80ddp-3,
    0x1.6f61941e4def1p-2,
    0x1.dac670561bb4fp-2,
    0x1.1e00babdefeb4p-1,
    0x1.4978fa3269ee1p-1,
    0x1.700a7c5784634p-1,
    0x1.921fb54442d18p-1,
};

// atan a for a >= 0: atan c + atan u with c the nearest eighth to a and
// u = (a - c) / (1 + a c), |u| <= 1/16; above 1, pi/2 - atan(1/a) with c the nearest eighth
// to 1/a and u = (1/a - c) / (1 + c/a) = (1 - a c) / (a + c), one division instead of two
// (u = 1/a for c = 0, also for an infinite a). 1/a is nearest to j/8 while
// a <= 16 / (2j - 1): j counts the bounds a stays within. Both ways are laid out side by
// side and one is chosen, without a branch: directions turned at once are above and below
// 1 at random.
constexpr std::array<double, 8> EighthBounds = [] {
    std::array<double, 8> bounds{};
    for (int k = 1; k <= 8; ++k) bounds[k - 1] = 16.0 / (2 * k - 1);
    return bounds;
}();

double ArcTanOfMagnitude(double a) {
    const bool above = a > 1.0;
    int bounds = 0;
    for (double bound : EighthBounds) bounds += a <= bound ? 1 : 0;
    const int nearest = static_cast<int>((above ? 1.0 : a) * 8.0 + 0.5);
    const int j = above ? bounds : nearest;
    const double c = j / 8.0;
    const double ac = a * c;
    const bool inverse = above && j == 0;
    const double numerator = inverse ? 1.0 : above ? 1.0 - ac : a - c;
    const double denominator = inverse ? a : above ? a + c : 1.0 + ac;
    const double sum = ArcTanOfEighths[j] + ArcTanSeries(numerator / denominator);
    return above ? HalfPi - sum : sum;
}

}  // namespace

float SinRad(float radians) {
    if (!std::isfinite(radians)) return radians - radians;  // NaN
    return static_cast<float>(SinOfReduced(Reduce(radians)));
}

float CosRad(float radians) {
    if (!std::isfinite(radians)) return radians - radians;
    Reduced x = Reduce(radians);
    ++x.Quadrant;  // cos x = sin(x + pi/2)
    return static_cast<float>(SinOfReduced(x));
}

void SinCosRad(float radians, float& sine, float& cosine) {
    if (!std::isfinite(radians)) {
        sine = cosine = radians - radians;
        return;
    }
    const SineCosine both = SinCosOfReduced(Reduce(radians));
    sine = static_cast<float>(both.Sine);
    cosine = static_cast<float>(both.Cosine);
}

float ArcTan(float value) {
    if (std::isnan(value)) return value;
    const double angle = ArcTanOfMagnitude(std::fabs(static_cast<double>(value)));
    return static_cast<float>(value < 0.0f ? -angle : angle);
}

}  // namespace zorblet
