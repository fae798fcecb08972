// The ROM's float and double tables as a program calls them on the chip:
// hand-picked operands with the ROM's answers (zeros, denormals, infinities,
// NaN, overflow, underflow, saturation, ties), then seeded random operands
// against references computed here: the host's arithmetic with denormals
// off (DAZ/FTZ), exact floor-and-clamp for the conversions, the host's
// library within the ROM's accuracy for the scientific functions.
#include "program_bench.h"

#include "rp2040/soft_float.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

using sim::microseconds;
using sim::milliseconds;

// Table indices (the SDK's offsets / 4); kD selects the double table.
enum : std::uint32_t {
    kAdd,
    kSub,
    kMul,
    kDiv,
    kCmp,
    kCmpFlags,
    kSqrt,
    kToInt,
    kToFix,
    kToUint,
    kToUfix,
    kInt2,
    kFix2,
    kUint2,
    kUfix2,
    kCos,
    kSin,
    kTan,
    kSinCos,
    kExp,
    kLn,
    kCmpBasic,
    kAtan2,
    kInt642,
    kFix642,
    kUint642,
    kUfix642,
    kToInt64,
    kToFix64,
    kToUint64,
    kToUfix64,
    kOther,
    kD = 0x100,
};

std::uint32_t fb(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
std::uint64_t db(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, 8);
    return b;
}
float bf(std::uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}
double bd(std::uint64_t b) {
    double v;
    std::memcpy(&v, &b, 8);
    return v;
}
std::uint32_t lo(std::uint64_t v) {
    return std::uint32_t(v);
}
std::uint32_t hi(std::uint64_t v) {
    return std::uint32_t(v >> 32);
}

using Words = std::array<std::uint32_t, 4>;
// Operands: floats one word each, doubles and 64-bit integers two.
Words F(float a, float b = 0) {
    return {fb(a), fb(b), 0, 0};
}
Words D(double a, double b = 0) {
    return {lo(db(a)), hi(db(a)), lo(db(b)), hi(db(b))};
}
Words W64(std::uint64_t a, std::uint32_t after = 0) {
    return {lo(a), hi(a), after, 0};
}

struct Case {
    std::uint32_t entry;
    Words in;
    Words want;     // exact results, `words` of them
    unsigned words; // 0: approximate, `ref` within `tolerance`
    int flags = -1; // NZCV after the call, when checked
    double ref[2] = {0, 0};
    unsigned values = 1;
};

Case exact(std::uint32_t entry, Words in, Words want, unsigned words, int flags = -1) {
    return {entry, in, want, words, flags};
}
Case resultF(std::uint32_t entry, Words in, float r) {
    return exact(entry, in, {fb(r)}, 1);
}
Case resultD(std::uint32_t entry, Words in, double r) {
    return exact(entry, in, {lo(db(r)), hi(db(r))}, 2);
}
Case approx(std::uint32_t entry, Words in, double r0, double r1 = 0, unsigned values = 1) {
    Case c{entry, in, {}, 0};
    c.ref[0] = r0;
    c.ref[1] = r1;
    c.values = values;
    return c;
}
int flagsOf(int r) {
    return (r < 0 ? 8 : 0) | (r == 0 ? 4 : 0) | 2; // N Z C V, C set
}

const float kInfF = INFINITY, kNanF = NAN;
const double kInf = INFINITY, kNan = NAN;
const float kDenormF = bf(0x00400000), kMinF = bf(0x00800000), kMaxF = bf(0x7f7fffff);
const double kDenorm = bd(0x0008000000000000), kMin = bd(0x0010000000000000);

// The ROM's answers where IEEE would differ, or where rounding and limits
// are easy to get wrong.
std::vector<Case> edgeCases() {
    const float negNanF = bf(0xffc00000);
    const double negNan = bd(0xfff8000000000000);
    return {
        // NaN is an infinity of its sign; invalid operations give infinities.
        resultF(kAdd, F(kInfF, -kInfF), kInfF),
        resultF(kAdd, F(-kInfF, kInfF), kInfF),
        resultF(kSub, F(-kInfF, -kInfF), kInfF),
        resultF(kAdd, F(kNanF, 1), kInfF),
        resultF(kAdd, F(negNanF, 1), -kInfF),
        resultF(kMul, F(0, kInfF), kInfF),
        resultF(kMul, F(-0.0f, kNanF), -kInfF),
        resultF(kDiv, F(0, 0), kInfF),
        resultF(kDiv, F(-kInfF, kInfF), -kInfF),
        resultF(kDiv, F(-3, 0), -kInfF),
        resultF(kDiv, F(3, -kInfF), -0.0f),
        resultF(kDiv, F(kDenormF, 2), 0),
        resultF(kSqrt, F(-1), -kInfF),
        resultF(kSqrt, F(-0.0f), -0.0f),
        resultF(kSqrt, F(-kDenormF), -0.0f),
        resultF(kSqrt, F(kNanF), kInfF),
        resultF(kSqrt, F(kDenormF), 0),
        resultF(kSqrt, F(2), std::sqrt(2.0f)),
        resultD(kD | kAdd, D(kInf, -kInf), kInf),
        resultD(kD | kAdd, D(kNan, -1), kInf),
        resultD(kD | kMul, D(-kInf, 0), -kInf),
        resultD(kD | kDiv, D(0, 0), kInf),
        resultD(kD | kDiv, D(kInf, kInf), kInf),
        resultD(kD | kDiv, D(-1, kInf), -0.0),
        resultD(kD | kSqrt, D(-2), -kInf),
        resultD(kD | kSqrt, D(-kDenorm), -0.0),
        resultD(kD | kSqrt, D(negNan), -kInf),
        // Signed zeros, denormals in and out, overflow.
        resultF(kAdd, F(-0.0f, -0.0f), -0.0f),
        resultF(kAdd, F(5, -5), 0),
        resultF(kAdd, F(kDenormF, kDenormF), 0),
        resultF(kAdd, F(kMinF, -bf(0x00800001)), -0.0f),
        resultF(kMul, F(-1e-30f, 1e-30f), -0.0f),
        resultF(kMul, F(kMaxF, 2), kInfF),
        resultF(kMul, F(-kMaxF, kMaxF), -kInfF),
        resultF(kMul, F(bf(0x3f7fffff), kMinF), kMinF), // a tie rounding up to the least normal
        resultF(kMul, F(bf(0x3f7ffffe), kMinF), 0),
        resultD(kD | kAdd, D(-0.0, -0.0), -0.0),
        resultD(kD | kAdd, D(kDenorm, kDenorm), 0),
        resultD(kD | kMul, D(1e-200, -1e-200), -0.0),
        resultD(kD | kMul, D(1e200, 1e200), kInf),
        resultD(kD | kMul, D(bd(0x3fefffffffffffff), kMin), kMin),
        // Rounding ties go to even.
        resultF(kAdd, F(16777216, 1), 16777216),
        resultF(kAdd, F(16777216, 3), 16777220),
        resultD(kD | kAdd, D(9007199254740992.0, 1), 9007199254740992.0),
        resultD(kD | kAdd, D(9007199254740992.0, 3), 9007199254740996.0),
        exact(kInt2, {16777217}, {fb(16777216)}, 1),
        exact(kInt2, {16777219}, {fb(16777220)}, 1),
        exact(kInt2, {0x80000000}, {fb(-2147483648.0f)}, 1),
        exact(kUint2, {0xffffffff}, {fb(4294967296.0f)}, 1),
        exact(kUfix2, {0xffffffff, 32}, {fb(1)}, 1),
        exact(kFix2, {std::uint32_t(-3), 1}, {fb(-1.5f)}, 1),
        exact(kInt642, W64(0x8000000000000000), {fb(-9223372036854775808.0f)}, 1),
        exact(kD | kInt642, W64((1ull << 53) + 1), W64(db(9007199254740992.0)), 2),
        exact(kD | kUint642, W64(~0ull), W64(db(18446744073709551616.0)), 2),
        exact(kD | kFix2, {std::uint32_t(-1), 31}, W64(db(-0x1p-31)), 2),
        // To integers: rounding down, saturation, NaN by its sign.
        exact(kToInt, F(-0.5f), {0xffffffff}, 1),
        exact(kToInt, F(-1e-30f), {0xffffffff}, 1),
        exact(kToInt, F(-kDenormF), {0}, 1),
        exact(kToInt, F(2.99f), {2}, 1),
        exact(kToInt, F(2147483648.0f), {0x7fffffff}, 1),
        exact(kToInt, F(-2147483648.0f), {0x80000000}, 1),
        exact(kToInt, F(-3e9f), {0x80000000}, 1),
        exact(kToInt, F(kNanF), {0x7fffffff}, 1),
        exact(kToInt, F(negNanF), {0x80000000}, 1),
        exact(kToUint, F(-1), {0}, 1),
        exact(kToUint, F(4294967040.0f), {0xffffff00}, 1),
        exact(kToUint, F(4294967296.0f), {0xffffffff}, 1),
        exact(kToUint, F(kInfF), {0xffffffff}, 1),
        exact(kToFix, {fb(0.5f), 16}, {0x8000}, 1),
        exact(kToFix, {fb(-0.75f), 1}, {std::uint32_t(-2)}, 1),
        exact(kToUfix, {fb(1), 32}, {0xffffffff}, 1),
        exact(kToInt64, F(-kInfF), W64(0x8000000000000000), 2),
        exact(kToInt64, F(-0.25f), W64(~0ull), 2),
        exact(kToUint64, F(1.8446744e19f), W64(~0ull), 2),
        exact(kToUfix64, {fb(-0.0f), 3}, W64(0), 2),
        exact(kD | kToInt, D(-2147483648.5), {0x80000000}, 1),
        exact(kD | kToInt, D(2147483647.9), {0x7fffffff}, 1),
        exact(kD | kToUint, D(4294967295.5), {0xffffffff}, 1),
        exact(kD | kToUint, D(-kDenorm), {0}, 1),
        exact(kD | kToInt64, D(9.3e18), W64(0x7fffffffffffffff), 2),
        exact(kD | kToInt64, D(-0x1p63), W64(0x8000000000000000), 2),
        exact(kD | kToInt64, D(kNan), W64(0x7fffffffffffffff), 2),
        exact(kD | kToUfix64, {lo(db(1.0)), hi(db(1.0)), 64}, W64(~0ull), 2),
        exact(kD | kToFix64, {lo(db(-1.0)), hi(db(-1.0)), 40}, W64(~0ull << 40), 2),
        // Between the formats: NaN becomes an infinity, denormals zeros.
        exact(kOther, F(kNanF), W64(db(kInf)), 2),
        exact(kOther, F(-kDenormF), W64(db(-0.0)), 2),
        exact(kOther, F(kMaxF), W64(db(double(kMaxF))), 2),
        exact(kD | kOther, D(1e300), {fb(kInfF)}, 1),
        exact(kD | kOther, D(-1e-40), {fb(-0.0f)}, 1),
        exact(kD | kOther, D(negNan), {fb(-kInfF)}, 1),
        exact(kD | kOther, D(bd(0x380fffffe0000000)), {fb(kMinF)},
              1), // ties up to the least normal
        exact(kD | kOther, D(1 + 0x1p-24), {fb(1)}, 1),
        exact(kD | kOther, D(1 + 0x1p-23 + 0x1p-24), {fb(1 + 0x1p-22f)}, 1),
        // Compares: the fast ones on the bits as they are, cmp_basic after
        // making denormals zeros and NaNs infinities.
        exact(kCmp, F(-0.0f, 0), {0}, 1, flagsOf(0)),
        exact(kCmp, F(kDenormF, 0), {1}, 1, flagsOf(1)),
        exact(kCmpBasic, F(kDenormF, 0), {0}, 1, flagsOf(0)),
        exact(kCmpBasic, F(-kDenormF, 0), {0}, 1, flagsOf(0)),
        exact(kCmp, F(kNanF, kInfF), {1}, 1, flagsOf(1)),
        exact(kCmpBasic, F(kNanF, kInfF), {0}, 1, flagsOf(0)),
        exact(kCmpFlags, F(-2, -1), {std::uint32_t(-1)}, 1, flagsOf(-1)),
        exact(kD | kCmpBasic, D(-kDenorm, 0), {0}, 1, flagsOf(0)),
        exact(kD | kCmp, D(-1, -1 - 0x1p-52), {1}, 1, flagsOf(1)),
        exact(kD | kCmpFlags, D(1, 1 + 0x1p-52), {std::uint32_t(-1)}, 1, flagsOf(-1)),
        // Scientific: exact corners, and ln's and exp's limits.
        resultF(kSin, F(0), 0),
        exact(kSinCos, F(0), {0, fb(1)}, 2),
        resultF(kLn, F(1), 0),
        resultF(kLn, F(0), -kInfF),
        resultF(kLn, F(-1), -kInfF),
        resultF(kLn, F(kInfF), kInfF),
        resultF(kExp, F(200), kInfF),
        resultF(kExp, F(-200), 0),
        resultD(kD | kLn, D(-0.0), -kInf),
        resultD(kD | kExp, D(-1000), 0),
        resultD(kD | kExp, D(1000), kInf),
        resultF(kAtan2, F(0, -1), float(M_PI)),
        // Out of sin's documented range the argument saturates at 128.
        approx(kSin, F(1e6f), std::sin(2147483647.0 / 16777216), std::cos(2147483647.0 / 16777216),
               2),
    };
}

// --- references for random operands ---------------------------------------------------

// The host's arithmetic with denormal operands and results as zeros.
template <typename T, typename Op>
T withoutDenormals(T a, T b, Op op) {
#if defined(__SSE__)
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040); // FTZ, DAZ
    volatile T x = a, y = b;
    const T r = op(x, y);
    _mm_setcsr(saved);
    return r;
#else
    auto flush = [](T v) { return std::fpclassify(v) == FP_SUBNORMAL ? T(0) * v : v; };
    return flush(op(flush(a), flush(b)));
#endif
}

template <typename T>
T randomValue(std::mt19937_64& rng, int minExponent, int maxExponent) {
    std::uniform_int_distribution<int> e(minExponent, maxExponent);
    const T m = T(1) + std::generate_canonical<T, 64>(rng);
    return (rng() & 1 ? -1 : 1) * std::ldexp(m, e(rng));
}

// floor(v * 2^n), clamped to the integer type.
template <typename T>
std::uint64_t floorClamp(T v, int n, bool wide, bool isSigned) {
    const int bits = wide ? 64 : 32;
    const long double x = std::floor(std::ldexp((long double)v, n));
    const long double max = std::ldexp(1.0L, isSigned ? bits - 1 : bits) - 1;
    const long double min = isSigned ? -std::ldexp(1.0L, bits - 1) : 0;
    const long double c = x > max ? max : (x < min ? min : x);
    const std::uint64_t r = isSigned ? std::uint64_t(std::int64_t(c)) : std::uint64_t(c);
    return wide ? r : std::uint32_t(r);
}

template <typename T>
Words operands(T a, T b = 0) {
    if constexpr (sizeof(T) == 4)
        return F(a, b);
    else
        return D(a, b);
}
template <typename T>
Case resultOf(std::uint32_t entry, Words in, T r) {
    if constexpr (sizeof(T) == 4)
        return resultF(entry, in, r);
    else
        return resultD(entry, in, r);
}

template <typename T>
void randomCases(std::vector<Case>& cases, std::mt19937_64& rng, int n) {
    constexpr bool isDouble = sizeof(T) == 8;
    const std::uint32_t t = isDouble ? std::uint32_t(kD) : 0u;
    const int emax = std::numeric_limits<T>::max_exponent - 1;
    const int emin = std::numeric_limits<T>::min_exponent - 1;
    auto value = [&](int lo, int hi) { return randomValue<T>(rng, lo, hi); };
    std::uniform_int_distribution<int> fraction(0, 40);
    for (int i = 0; i < n; ++i) {
        const T a = value(emin, emax - 1);
        // Often close to a, for cancellation and for ties in compares.
        const T b = rng() & 1 ? value(emin, emax - 1) : a * (T(1) + value(-30, -1) * T(rng() & 1));
        cases.push_back(resultOf(t | kAdd, operands(a, b),
                                 withoutDenormals(a, b, [](T x, T y) { return x + y; })));
        cases.push_back(resultOf(t | kSub, operands(a, b),
                                 withoutDenormals(a, b, [](T x, T y) { return x - y; })));
        cases.push_back(resultOf(t | kMul, operands(a, b),
                                 withoutDenormals(a, b, [](T x, T y) { return x * y; })));
        cases.push_back(resultOf(t | kDiv, operands(a, b),
                                 withoutDenormals(a, b, [](T x, T y) { return x / y; })));
        cases.push_back(resultOf(t | kSqrt, operands(std::fabs(a)), std::sqrt(std::fabs(a))));
        const int r = a < b ? -1 : (a > b ? 1 : 0);
        for (std::uint32_t e : {kCmp, kCmpFlags, kCmpBasic})
            cases.push_back(exact(t | e, operands(a, b), {std::uint32_t(r)}, 1, flagsOf(r)));

        // To integers: magnitudes either side of every limit.
        const T x = value(-30, 70);
        const int nf = fraction(rng);
        const Words xIn = operands(x);
        auto withFraction = [&](Words w) {
            w[isDouble ? 2 : 1] = std::uint32_t(nf);
            return w;
        };
        for (unsigned flags = 0; flags < 8; ++flags) {
            const bool fix = flags & 1, wide = flags & 2, isSigned = !(flags & 4);
            static const std::uint32_t kTo[8] = {kToInt,  kToFix,  kToInt64,  kToFix64,
                                                 kToUint, kToUfix, kToUint64, kToUfix64};
            const std::uint64_t want = floorClamp(x, fix ? nf : 0, wide, isSigned);
            cases.push_back(
                exact(t | kTo[flags], fix ? withFraction(xIn) : xIn, W64(want), wide ? 2 : 1));
        }

        // From integers of every width.
        const std::uint64_t raw = rng() >> (rng() % 64);
        const std::uint64_t neg = rng() & 1 ? 0 - raw : raw;
        auto from = [&](std::uint32_t entry, std::uint64_t v, bool wide, bool isSigned, int f) {
            long double exactValue =
                wide ? (isSigned ? (long double)std::int64_t(v) : v)
                     : (isSigned ? (long double)std::int32_t(v) : (long double)std::uint32_t(v));
            Words w = W64(v);
            if (!wide)
                w = {std::uint32_t(v), std::uint32_t(f), 0, 0};
            else
                w[2] = std::uint32_t(f);
            cases.push_back(resultOf(t | entry, w, T(std::ldexp(exactValue, -f))));
        };
        from(kInt2, neg, false, true, 0);
        from(kUint2, raw, false, false, 0);
        from(kFix2, neg, false, true, nf);
        from(kUfix2, raw, false, false, nf);
        from(kInt642, neg, true, true, 0);
        from(kUint642, raw, true, false, 0);
        from(kFix642, neg, true, true, nf);
        from(kUfix642, raw, true, false, nf);

        // To the other format and back.
        if constexpr (isDouble) {
            const double d = value(-150, 150);
            cases.push_back(exact(kD | kOther, D(d),
                                  {fb(float(withoutDenormals(
                                      d, 0.0, [](double p, double) { return double(float(p)); })))},
                                  1));
        } else {
            cases.push_back(exact(kOther, F(a), W64(db(double(a))), 2));
        }

        // Scientific functions within the ROM's range and accuracy.
        std::uniform_real_distribution<T> angle(isDouble ? -1000 : -100, isDouble ? 1000 : 100);
        const T th = angle(rng), small = std::uniform_real_distribution<T>(-1, 1)(rng);
        cases.push_back(approx(t | kSin, operands(th), std::sin(double(th)), std::cos(double(th)),
                               isDouble ? 1 : 2));
        cases.push_back(approx(t | kCos, operands(th), std::cos(double(th))));
        cases.push_back(
            approx(t | kSinCos, operands(th), std::sin(double(th)), std::cos(double(th)), 2));
        cases.push_back(approx(t | kTan, operands(small), std::tan(double(small))));
        const T ex = std::uniform_real_distribution<T>(-80, 80)(rng);
        cases.push_back(approx(t | kExp, operands(ex), std::exp(double(ex))));
        const T pos = std::fabs(a);
        cases.push_back(approx(t | kLn, operands(pos), std::log(double(pos))));
        const T y = value(-20, 20), z = value(-20, 20);
        cases.push_back(approx(t | kAtan2, operands(y, z), std::atan2(double(y), double(z))));
    }
}

// --- the bench ------------------------------------------------------------------------

class SoftFloat : public ProgramBench {
protected:
    static constexpr unsigned kBatch = 512; // the program's MAX_CALLS
    static constexpr unsigned kCallWords = 10;

    void poke(std::uint32_t address, std::uint32_t v) {
        ASSERT_TRUE(chip->core(0).write(address, 4, v));
    }

    // Runs the cases through the program, batch by batch, and checks them.
    void check(const std::vector<Case>& cases) {
        const std::uint32_t calls = address("calls");
        std::uint32_t requested = 0;
        chip->powerOn();
        run(milliseconds(1)); // booted and waiting, its .bss cleared
        for (std::size_t first = 0; first < cases.size(); first += kBatch) {
            const std::size_t n = std::min<std::size_t>(kBatch, cases.size() - first);
            for (std::size_t i = 0; i < n; ++i) {
                const Case& c = cases[first + i];
                const std::uint32_t at = calls + std::uint32_t(i) * kCallWords * 4;
                poke(at, c.entry);
                for (unsigned w = 0; w < 4; ++w)
                    poke(at + 4 + 4 * w, c.in[w]);
            }
            poke(address("count"), std::uint32_t(n));
            poke(address("requested"), ++requested);
            for (int us = 0; us < 5000000 && word("served") != requested; us += 100)
                run(microseconds(100));
            ASSERT_EQ(word("served"), requested)
                << "batch at case " << first << ": " << chip->core(0).stopInfo().reason << " at "
                << chip->describe(chip->core(0).pc()) << " pc " << chip->core(0).pc() << " state "
                << int(chip->core(0).state()) << " insns " << chip->core(0).instructions();
            for (std::size_t i = 0; i < n; ++i)
                checkOne(cases[first + i], calls + std::uint32_t(i) * kCallWords * 4);
        }
    }

    void checkOne(const Case& c, std::uint32_t at) {
        Words out;
        for (unsigned w = 0; w < 4; ++w)
            out[w] = chip->readWord(at + 20 + 4 * w);
        const std::string what =
            sim::rp2040::softFloatName(c.entry & 0xff, c.entry & kD) + "(" + hex(c.in) + ")";
        for (unsigned w = 0; w < c.words; ++w)
            EXPECT_EQ(out[w], c.want[w]) << what << " word " << w;
        if (c.flags >= 0) {
            EXPECT_EQ(int(chip->readWord(at + 36) >> 28), c.flags) << what << " flags";
        }
        if (c.words == 0) {
            const bool isDouble = c.entry & kD;
            for (unsigned v = 0; v < c.values; ++v) {
                const double got = isDouble ? bd(out[2 * v] | std::uint64_t(out[2 * v + 1]) << 32)
                                            : double(bf(out[v]));
                // A few units in the last place, and the fixed-point floor.
                const double ulp = std::ldexp(1.0, std::ilogb(c.ref[v]) - (isDouble ? 52 : 23));
                const double tolerance = 4 * ulp + (isDouble ? 0x1p-48 : 0x1p-22);
                EXPECT_NEAR(got, c.ref[v], tolerance) << what << " value " << v;
            }
        }
    }

    static std::string hex(const Words& w) {
        char b[48];
        std::snprintf(b, sizeof b, "%08x %08x %08x %08x", w[0], w[1], w[2], w[3]);
        return b;
    }
};

TEST_F(SoftFloat, EdgeOperandsGiveTheRomsAnswers) {
    LOAD_PROGRAM("soft_float");
    check(edgeCases());
}

TEST_F(SoftFloat, RandomOperandsMatchTheReferences) {
    LOAD_PROGRAM("soft_float");
    std::mt19937_64 rng(20400);
    std::vector<Case> cases;
    randomCases<float>(cases, rng, 150);
    randomCases<double>(cases, rng, 150);
    check(cases);
}

} // namespace
