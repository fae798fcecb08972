// What the ROM's floating-point library does, as this model carries it out.
// From the RP2040 datasheet (boot ROM chapter, "Fast Floating Point Library")
// and the public pico-bootrom sources of the B2 ROM (version 3), read for
// their behaviour:
//
// - Calls follow the AAPCS soft-float convention: floats in r0, r1; doubles
//   in r0:r1 and r2:r3 (low word first); results in r0 or r0:r1. The
//   fraction bits of a fixed-point conversion follow the value (r1 after a
//   float or a 32-bit integer, r2 after a double or a 64-bit integer).
// - add, sub, mul, div and sqrt round to nearest, ties to even.
// - A denormal operand counts as a zero of its sign. A result that would be
//   denormal after rounding is a zero: of the result's sign from add, sub,
//   mul and div; +0 from the routines that pack a fixed-point result (the
//   integer conversions and the scientific functions).
// - NaN is not told apart from infinity: a NaN operand counts as an infinity
//   of its sign, and no routine ever returns a NaN. Where IEEE wants a NaN
//   the ROM answers with an infinity: inf - inf gives +inf, 0 * inf gives
//   inf, 0 / 0 and inf / inf give inf (signed as the quotient). sqrt of a
//   negative number gives -inf (of -0 or a negative denormal, -0); ln of
//   a negative number or a zero gives -inf.
// - float/double to integer or fixed point rounds towards minus infinity and
//   saturates; the unsigned ones give 0 for every negative operand; a NaN
//   saturates as the infinity of its sign.
// - The scientific functions work in fixed point and are accurate to a few
//   units in the last place, worse where the fixed-point result needs a large
//   normalising shift (sin near multiples of pi, ln near 1, large tan). Single
//   precision sin, cos and tan take their argument as a Q24 fixed-point value
//   (rounded down, saturating at +-128), which is why the ROM documents them
//   for -128 < x < 128 only; double precision holds for -1024 < x < 1024.
//   The model evaluates them with the host's library on the argument the ROM
//   sees. fsin and fsincos are one routine: it leaves the cosine in r1 as
//   well, which the SDK's sincosf relies on.
// - The compare entries return -1, 0 or 1 in r0 with the flags of that value
//   (N, Z; C set, V clear); the fast ones compare the operands as they are
//   (only +0 == -0), the later one (cmp_basic) first treats denormals as
//   zeros and NaN as infinities.
//
// Outside the documented range the model gives what the host's library
// gives for the argument (a NaN for a double sin, cos or tan of infinity).
//
// The cycle counts approximate the datasheet's average figures for the V2
// ROM (its table gives 52 for double2ufix64, 23 for double2float); the
// scientific functions vary with the argument. The ROM's division and
// tangent use the SIO divider, whose state is left alone here.
#include "rp2040/soft_float.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace sim::rp2040 {

namespace {

// --- the two formats ----------------------------------------------------------------

template <typename T>
struct Format;
template <>
struct Format<float> {
    using Bits = std::uint32_t;
    static constexpr int kFraction = 23, kExponentMax = 0xff, kBias = 127;
};
template <>
struct Format<double> {
    using Bits = std::uint64_t;
    static constexpr int kFraction = 52, kExponentMax = 0x7ff, kBias = 1023;
};

template <typename T>
typename Format<T>::Bits bitsOf(T v) {
    typename Format<T>::Bits b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
template <typename T>
T fromBits(typename Format<T>::Bits b) {
    T v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}
template <typename T>
int exponentOf(T v) {
    return int(bitsOf(v) >> Format<T>::kFraction) & Format<T>::kExponentMax;
}
template <typename T>
T infinity(bool negative) {
    return negative ? -std::numeric_limits<T>::infinity() : std::numeric_limits<T>::infinity();
}
template <typename T>
T zero(bool negative) {
    return negative ? T(-0.0) : T(0.0);
}

// An operand as the ROM sees it: denormals are zeros, NaNs infinities.
template <typename T>
T operand(T v) {
    const int e = exponentOf(v);
    if (e == 0)
        return zero<T>(std::signbit(v));
    if (e == Format<T>::kExponentMax)
        return infinity<T>(std::signbit(v));
    return v;
}
// A result: denormals flushed to a zero of their sign, or to +0 from the
// routines that pack through fixed point.
template <typename T>
T result(T v, bool signedZero = true) {
    if (v != 0 && exponentOf(v) == 0)
        return zero<T>(signedZero && std::signbit(v));
    return v;
}

// --- the routines ---------------------------------------------------------------------

template <typename T>
T add(T a, T b) {
    a = operand(a);
    b = operand(b);
    if (std::isinf(a) && std::isinf(b) && std::signbit(a) != std::signbit(b))
        return infinity<T>(false);
    return result(a + b);
}
template <typename T>
T sub(T a, T b) {
    return add(a, -b);
}
template <typename T>
T mul(T a, T b) {
    a = operand(a);
    b = operand(b);
    if (std::isinf(a) || std::isinf(b))
        return infinity<T>(std::signbit(a) != std::signbit(b));
    return result(a * b);
}
template <typename T>
T div(T a, T b) {
    a = operand(a);
    b = operand(b);
    const bool negative = std::signbit(a) != std::signbit(b);
    if (b == 0 || std::isinf(a))
        return infinity<T>(negative);
    if (std::isinf(b) || a == 0)
        return zero<T>(negative);
    return result(a / b);
}
template <typename T>
T sqrt(T a) {
    const T v = operand(a);
    if (std::signbit(v))
        return v == 0 ? zero<T>(true) : infinity<T>(true);
    return std::sqrt(v);
}

// floor(v * 2^fraction), saturated to `bits` (32 or 64), signed or not.
template <typename T>
std::uint64_t toFixed(T v, int fraction, unsigned bits, bool isSigned) {
    const __int128 max = isSigned ? (__int128(1) << (bits - 1)) - 1 : (__int128(1) << bits) - 1;
    const __int128 min = isSigned ? -(__int128(1) << (bits - 1)) : 0;
    const bool negative = std::signbit(v);
    const int e = exponentOf(v);
    __int128 x = 0;
    if (!isSigned && negative)
        x = 0;
    else if (e == Format<T>::kExponentMax)
        x = negative ? min : max;
    else if (e != 0) {
        using Bits = typename Format<T>::Bits;
        const Bits one = Bits(1) << Format<T>::kFraction;
        const __int128 m = __int128((bitsOf(v) & (one - 1)) | one);
        const int shift = e - Format<T>::kBias - Format<T>::kFraction + fraction;
        if (shift > 64)
            x = negative ? min : max;
        else if (shift >= 0)
            x = negative ? -(m << shift) : m << shift;
        else {
            const int down = shift < -100 ? 100 : -shift;
            // Rounding down: a negative value's magnitude rounds up.
            x = negative ? -((m + (__int128(1) << down) - 1) >> down) : m >> down;
        }
    }
    x = x > max ? max : (x < min ? min : x);
    return std::uint64_t(x);
}

// The value of a fixed-point integer, rounded once to nearest even.
template <typename T>
T fromFixed(std::uint64_t raw, int fraction, unsigned bits, bool isSigned) {
    long double v = 0;
    if (bits == 32)
        v = isSigned ? (long double)std::int32_t(raw) : (long double)std::uint32_t(raw);
    else
        v = isSigned ? (long double)std::int64_t(raw) : (long double)raw;
    return result(T(std::ldexp(v, -fraction)), false);
}

// The single-precision trigonometric argument: Q24 as float2fix makes it.
double trigArgument(float x) {
    return double(std::int32_t(toFixed(x, 24, 32, true))) / (1 << 24);
}
double trigArgument(double x) {
    return operand(x);
}

template <typename T>
T scientific(double v) {
    return result(T(v), false);
}
template <typename T>
T sin(T x) {
    return scientific<T>(std::sin(trigArgument(x)));
}
template <typename T>
T cos(T x) {
    return scientific<T>(std::cos(trigArgument(x)));
}
template <typename T>
T tan(T x) {
    return scientific<T>(std::tan(trigArgument(x)));
}
template <typename T>
T exp(T x) {
    return scientific<T>(std::exp(std::is_same<T, float>::value ? trigArgument(x) : operand(x)));
}
template <typename T>
T ln(T x) {
    const T v = operand(x);
    if (std::signbit(v) || v == 0)
        return infinity<T>(true);
    return scientific<T>(std::log(double(v)));
}
template <typename T>
T atan2(T y, T x) {
    return scientific<T>(std::atan2(double(operand(y)), double(operand(x))));
}

// -1, 0 or 1. The fast compares take the bits as they are; cmp_basic first
// makes denormals zeros and NaNs infinities.
template <typename T>
int compare(T a, T b, bool basic) {
    using Bits = typename Format<T>::Bits;
    const Bits sign = Bits(1) << (sizeof(Bits) * 8 - 1);
    auto key = [&](T v) {
        if (basic)
            v = operand(v);
        const Bits bits = bitsOf(v);
        const __int128 magnitude = __int128(bits & ~sign);
        return bits & sign ? -magnitude : magnitude;
    };
    const __int128 ka = key(a), kb = key(b);
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

// --- the tables -------------------------------------------------------------------------

enum class Shape : std::uint8_t {
    Binary,  // T op(T, T)
    Unary,   // T op(T)
    SinCos,  // sine in the first result, cosine in the second
    Compare, // -1, 0, 1 and the flags
    ToFixed,
    FromFixed,
    Convert, // to the other format
};
enum Op : std::uint8_t { kAdd, kSub, kMul, kDiv, kAtan2, kSqrt, kCos, kTan, kExp, kLn };
// Conversion flags.
enum : std::uint8_t { kFix = 1, kWide = 2, kUnsigned = 4, kBasic = 8 };

struct Entry {
    const char* name;
    Shape shape;
    std::uint8_t op;
    std::uint16_t floatCycles, doubleCycles;
};

// Both tables, in the ROM's order (the first 21 entries are version 1's).
constexpr Entry kEntries[] = {
    {"add", Shape::Binary, kAdd, 71, 103},
    {"sub", Shape::Binary, kSub, 74, 106},
    {"mul", Shape::Binary, kMul, 69, 119},
    {"div", Shape::Binary, kDiv, 71, 177},
    {"cmp", Shape::Compare, 0, 39, 45},
    {"cmp_flags", Shape::Compare, 0, 39, 45},
    {"sqrt", Shape::Unary, kSqrt, 63, 205},
    {"2int", Shape::ToFixed, 0, 26, 65},
    {"2fix", Shape::ToFixed, kFix, 29, 68},
    {"2uint", Shape::ToFixed, kUnsigned, 24, 45},
    {"2ufix", Shape::ToFixed, kFix | kUnsigned, 27, 48},
    {"int2", Shape::FromFixed, 0, 41, 36},
    {"fix2", Shape::FromFixed, kFix, 44, 40},
    {"uint2", Shape::FromFixed, kUnsigned, 39, 32},
    {"ufix2", Shape::FromFixed, kFix | kUnsigned, 42, 36},
    {"cos", Shape::Unary, kCos, 600, 2000},
    {"sin", Shape::SinCos, 0, 600, 2000},
    {"tan", Shape::Unary, kTan, 760, 3100},
    {"sincos", Shape::SinCos, 0, 620, 3200},
    {"exp", Shape::Unary, kExp, 460, 2300},
    {"ln", Shape::Unary, kLn, 560, 2800},
    {"cmp_basic", Shape::Compare, kBasic, 34, 50},
    {"atan2", Shape::Binary, kAtan2, 580, 3100},
    {"int642", Shape::FromFixed, kWide, 60, 50},
    {"fix642", Shape::FromFixed, kWide | kFix, 65, 55},
    {"uint642", Shape::FromFixed, kWide | kUnsigned, 55, 45},
    {"ufix642", Shape::FromFixed, kWide | kFix | kUnsigned, 60, 50},
    {"2int64", Shape::ToFixed, kWide, 55, 60},
    {"2fix64", Shape::ToFixed, kWide | kFix, 60, 65},
    {"2uint64", Shape::ToFixed, kWide | kUnsigned, 50, 50},
    {"2ufix64", Shape::ToFixed, kWide | kFix | kUnsigned, 55, 52},
    {"2other", Shape::Convert, 0, 20, 23},
};
constexpr unsigned kEntryCount = sizeof kEntries / sizeof kEntries[0];

template <typename T>
T binary(std::uint8_t op, T a, T b) {
    constexpr T (*kOps[])(T, T) = {add<T>, sub<T>, mul<T>, div<T>, atan2<T>};
    return kOps[op](a, b);
}
template <typename T>
T unary(std::uint8_t op, T a) {
    constexpr T (*kOps[])(T) = {sqrt<T>, cos<T>, tan<T>, exp<T>, ln<T>};
    return kOps[op - kSqrt](a);
}

// The registers of a call: values of the format in r0.. as AAPCS places them.
template <typename T>
class Call {
public:
    explicit Call(arm::Core& core) : core_(core) {}
    static constexpr unsigned kWords = sizeof(T) / 4;

    std::uint64_t word64(unsigned at) const {
        return core_.reg(at) | std::uint64_t(core_.reg(at + 1)) << 32;
    }
    template <typename V>
    V value(unsigned index) const {
        using Bits = typename Format<V>::Bits;
        const unsigned at = index * sizeof(V) / 4;
        return fromBits<V>(sizeof(V) == 4 ? Bits(core_.reg(at)) : Bits(word64(at)));
    }
    T arg(unsigned index) const { return value<T>(index); }
    void set64(unsigned at, std::uint64_t v, unsigned words = 2) {
        core_.setReg(at, std::uint32_t(v));
        if (words == 2)
            core_.setReg(at + 1, std::uint32_t(v >> 32));
    }
    template <typename V>
    void put(unsigned index, V v) {
        set64(index * sizeof(V) / 4, bitsOf(v), sizeof(V) / 4);
    }
    void setFlagsOf(int v) { core_.setFlags(v < 0, v == 0, true, false); }
    std::uint32_t reg(unsigned n) const { return core_.reg(n); }
    void setReg(unsigned n, std::uint32_t v) { core_.setReg(n, v); }

private:
    arm::Core& core_;
};

template <typename T>
void run(const Entry& e, arm::Core& core) {
    using Other = typename std::conditional<std::is_same<T, float>::value, double, float>::type;
    Call<T> c(core);
    const unsigned words = e.op & kWide ? 2 : 1;
    switch (e.shape) {
    case Shape::Binary:
        c.put(0, binary(e.op, c.arg(0), c.arg(1)));
        break;
    case Shape::Unary:
        c.put(0, unary(e.op, c.arg(0)));
        break;
    case Shape::SinCos:
        c.put(1, cos(c.arg(0)));
        c.put(0, sin(c.arg(0)));
        break;
    case Shape::Compare: {
        const int r = compare(c.arg(0), c.arg(1), e.op & kBasic);
        c.setReg(0, std::uint32_t(r));
        c.setFlagsOf(r);
        break;
    }
    case Shape::ToFixed: {
        const int fraction = e.op & kFix ? int(c.reg(Call<T>::kWords)) : 0;
        c.set64(0, toFixed(c.arg(0), fraction, 32 * words, !(e.op & kUnsigned)), words);
        break;
    }
    case Shape::FromFixed: {
        const std::uint64_t raw = words == 2 ? c.word64(0) : c.reg(0);
        const int fraction = e.op & kFix ? int(c.reg(words)) : 0;
        c.put(0, fromFixed<T>(raw, fraction, 32 * words, !(e.op & kUnsigned)));
        break;
    }
    case Shape::Convert:
        c.put(0, result(Other(operand(c.arg(0)))));
        break;
    }
}

} // namespace

std::string softFloatName(unsigned entry, bool isDouble) {
    const std::string kind = isDouble ? "double" : "float";
    if (entry >= kEntryCount)
        return kind + " entry " + std::to_string(entry);
    const std::string name = kEntries[entry].name;
    if (name == "2other")
        return isDouble ? "double2float" : "float2double";
    if (name.compare(0, 1, "2") == 0)
        return kind + name;
    if (name.size() > 1 && name.back() == '2')
        return name + kind;
    return std::string(isDouble ? "d" : "f") + name;
}

bool softFloatCall(arm::Core& core, unsigned entry, bool isDouble, std::string& failure) {
    if (entry >= kEntryCount) {
        failure = "soft " + std::string(isDouble ? "double" : "float") + " table offset " +
                  std::to_string(entry * 4) + " lies beyond the table";
        return false;
    }
    if (isDouble)
        run<double>(kEntries[entry], core);
    else
        run<float>(kEntries[entry], core);
    return true;
}

unsigned softFloatCycles(unsigned entry, bool isDouble) {
    if (entry >= kEntryCount)
        return 0;
    return isDouble ? kEntries[entry].doubleCycles : kEntries[entry].floatCycles;
}

} // namespace sim::rp2040
