// A small engine holding the fixed-point math classes, and integer models of their datapaths written from the
// published fixed-point steps: every product 64 bits wide (128 where a shift could leave 64) and shifted right by
// 31, saturation only where a step says so.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Dsp/Math/MathModels.h"
#include "Modules/Standard/MathFract32.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace mathq {

using kvetest::bitsOf;

constexpr uint32_t kAbs = 0xBEEF0880u;
constexpr uint32_t kSquare = 0xBEEF08C9u;
constexpr uint32_t kSqrt = 0xBEEF08CFu;
constexpr uint32_t kReciprocal = 0xBEEF08B1u;
constexpr uint32_t kLog10 = 0xBEEF0898u;
constexpr uint32_t kLog2 = 0xBEEF0899u;
constexpr uint32_t kDb20 = 0xBEEF088Du;
constexpr uint32_t kUndb10 = 0xBEEF08D4u;
constexpr uint32_t kUndb20 = 0xBEEF08D5u;
constexpr uint32_t kPow2 = 0xBEEF08ADu;
constexpr uint32_t kPow = 0xBEEF08ACu;
constexpr uint32_t kShift = 0xBEEF08C2u;
constexpr uint32_t kLShift = 0xBEEF089Au;
constexpr uint32_t kClipAsym = 0xBEEF088Bu;
constexpr uint32_t kScaleOffset = 0xBEEF08B8u;
constexpr uint32_t kPolynomial = 0xBEEF08A8u;

inline const ModClassDescriptor *const kTable[] = {
    &kve_modAbsFract32Class.record,         &kve_modSquareFract32Class.record,
    &kve_modSqrtFract32Class.record,        &kve_modReciprocalFract32Class.record,
    &kve_modLog10Fract32Class.record,       &kve_modLog2Fract32Class.record,
    &kve_modDb20Fract32Class.record,        &kve_modUndb10Fract32Class.record,
    &kve_modUndb20Fract32Class.record,      &kve_modPow2Fract32Class.record,
    &kve_modPowFract32Class.record,         &kve_modShiftFract32Class.record,
    &kve_modLShiftFract32Class.record,      &kve_modClipAsymFract32Class.record,
    &kve_modScaleOffsetFract32Class.record, &kve_modPolynomialFract32Class.record,
};

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kSentinel = 0x5A5A5A5A;

// ---- Integer models ----

// The kernels' models (square root, reciprocal, logarithm, decibel conversions) are the kernel tests' own; these
// add the steps the modules take around them.
namespace model {

using i128 = __int128;
using kvetest::clampTo32;
using kvetest::down;
using kvetest::scaleByPow2;

inline i128 mul31(i128 a, i128 b) { return down(a * b, 31); }
inline int32_t word(uint32_t bits) { return static_cast<int32_t>(bits); }

inline int32_t log2(int32_t x)
{
    return x == 0 ? kMin : static_cast<int32_t>(down(kvetest::modelLog2Q26Fract32(x), 3));
}
inline int32_t db20(int32_t x)
{
    return x == 0 ? kMin : static_cast<int32_t>(mul31(kvetest::modelLog2Q26Fract32(x), 1616142483));
}

// 2^f with 28 fractional bits, f with 31: c6 + f (c5 + f (c4 + ... + f c0)).
inline i128 pow2Poly(i128 f)
{
    static const int32_t c[7] = {word(0x0001CAAD), word(0xFFFF64BE), word(0x00378176), word(0x00CAB0F9),
                                 word(0x03EE0DD5), word(0x0B0C5616), word(0x10023A3E)};
    i128 p = c[0];
    for (int k = 1; k < 7; ++k)
        p = c[k] + mul31(f, p);
    return p;
}
// 2^x, x with 26 fractional bits, written with 16.
inline int32_t pow2(int32_t x)
{
    const int n = static_cast<int>(down(x, 26));
    if (n >= 15)
        return kMax;
    if (n < -15)
        return 0;
    return clampTo32(scaleByPow2(pow2Poly(i128{x & 0x3FFFFFF} * 32), n - 12));
}
// 10^(x/10) or 10^(x/20) (k = log2(10)/10 or /20 x 2^31): exact shifts in 128 bits, and whatever a word cannot
// hold saturated.
inline int32_t undb(int32_t x, int32_t k)
{
    const i128 t = mul31(x, k);
    const int n = static_cast<int>(down(t, 23));
    const i128 f = (t & 0x7FFFFF) << 8;
    return clampTo32(scaleByPow2(pow2Poly(f), n - 12) * 128);
}
inline int32_t undb20(int32_t x) { return undb(x, 356689313); }
inline int32_t undb10(int32_t x) { return undb(x, 713378626); }

// x^p: dB(x) with 24 fractional bits, times p (saturated), back to linear with 24, moved to Q1.31 (saturated).
inline int32_t pow(int32_t x, int32_t p)
{
    const int32_t dB = kvetest::modelLinearToDbFract32(x, 1, 8);
    const int32_t linear = kvetest::modelDbToLinearFract32(clampTo32(mul31(dB, p)));
    return clampTo32(i128{linear} * 128);
}

} // namespace model

// Words that reach the corners of the formats: both extremes, zero, one unit of both signs, powers of two, and a
// spread of every magnitude.
inline std::vector<int32_t> testWords(uint32_t n)
{
    const int32_t corners[] = {kMax, kMin, 0, 1, -1, 2, 0x40000000, -0x40000000, 0x00800000, 0x12345678, -0x0FEDCBA9};
    std::vector<int32_t> w(n);
    uint32_t state = 0x2545F491u;
    for (uint32_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        // Spread over magnitudes: a random word shifted right by a random count.
        w[i] = i < std::size(corners) ? corners[i] : static_cast<int32_t>(state) >> (state % 31);
    }
    return w;
}

class MathFract32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    static int32_t *data(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void load(GenericWire *w, const std::vector<int32_t> &v) { std::copy(v.begin(), v.end(), data(w)); }
    static std::vector<int32_t> words(GenericWire *w) { return {data(w), data(w) + kve::kit::wireWords(w)}; }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, KVE_OK) << std::hex << classId;
        return m;
    }
    // Variable k of a module: a scalar word, or the array a private variable points at.
    template <class T = int32_t> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    template <class T> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }
    void run(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    // Runs a one-input class over the words (in one block) and returns what it wrote.
    std::vector<int32_t> apply(uint32_t classId, const std::vector<int32_t> &x,
                               std::initializer_list<uint32_t> args = {})
    {
        const auto n = static_cast<uint32_t>(x.size());
        GenericWire *in = wire(1, n);
        GenericWire *out = wire(1, n);
        ClassModule *m = build(classId, 0x101, {in, out}, args);
        if (m == nullptr)
            return {};
        load(in, x);
        run(m);
        return words(out);
    }

    // Runs the power class over pairs of words (x on wire 0, p on wire 1) and returns what it wrote.
    std::vector<int32_t> applyPower(const std::vector<int32_t> &x, const std::vector<int32_t> &p)
    {
        const auto n = static_cast<uint32_t>(x.size());
        GenericWire *base = wire(1, n), *exponent = wire(1, n), *out = wire(1, n);
        ClassModule *m = build(kPow, 0x102, {base, exponent, out}, {});
        if (m == nullptr)
            return {};
        load(base, x);
        load(exponent, p);
        run(m);
        return words(out);
    }

    kvetest::TestEngine engine_;
};

} // namespace mathq
