// Fixed-point biquads against exact integer models: the direct-form-I section, the Q4.28 cascade and the four
// datapath models (24x24 A56, 32x32 A64, 32x32 A32, 24x24 A24), over random coefficients, states, shifts, counts and
// increments; state carried across blocks; and the edge behaviour of the sections (first-order state copies, a
// feedback coefficient of -1.0, saturation in the cascade). The models work in 128-bit integers, one formula per
// step of the arithmetic, and share nothing with the library's helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using I128 = __int128;
using kvetest::bitsOf;
using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::floorDivPow2;
using kvetest::GuardedVector;
using kvetest::intOf;

constexpr int32_t kMin = INT32_MIN;
constexpr int32_t kMax = INT32_MAX;
constexpr I128 kOne = 1;

// v saturated to a signed word of the given width.
I128 clampBits(I128 v, int bits) { return std::clamp(v, -(kOne << (bits - 1)), (kOne << (bits - 1)) - 1); }

// v x 2^shift, rounded toward minus infinity; counts far beyond any word only keep the sign.
I128 scaled(I128 v, int64_t shift)
{
    return kvetest::scaleByPow2(v, static_cast<int>(std::clamp<int64_t>(shift, -200, 200)));
}

// -a, saturated: -1.0 feeds back as 1 - 2^-31.
int32_t negated(int32_t a) { return clampTo32(-I128{a}); }

int32_t shift16(int32_t s) { return static_cast<int16_t>(s); }

struct Coeffs {
    int32_t b0, b1, b2, a1, a2;
    bool firstOrder() const { return b2 == 0 && a2 == 0; }
};

Coeffs coeffsAt(const std::vector<int32_t> &c, size_t section)
{
    const int32_t *p = c.data() + 5 * section;
    return {p[0], p[1], p[2], p[3], p[4]};
}

// ---- Models of one sample, given the inputs and outputs before it ----

struct History {
    int32_t x1, x2, y1, y2;
};

// Direct form I: the five Fract32 products summed exactly, scaled by 2^postShift, saturated.
int32_t directFormI(const Coeffs &c, int32_t x, const History &h, int32_t postShift, int32_t /*unused*/)
{
    I128 sum = I128{exactFract32Product(x, c.b0)} + exactFract32Product(h.x1, c.b1) +
               exactFract32Product(h.y1, negated(c.a1));
    if (!c.firstOrder())
        sum += I128{exactFract32Product(h.x2, c.b2)} + exactFract32Product(h.y2, negated(c.a2));
    return clampTo32(scaled(sum, postShift));
}

// 32x32 A32: every partial sum saturated to 32 bits.
int32_t datapathA32(const Coeffs &c, int32_t x, const History &h, int32_t shiftB, int32_t shiftA)
{
    const int32_t d = static_cast<int16_t>(shift16(shiftB) - shift16(shiftA));
    I128 acc = clampTo32(I128{exactFract32Product(h.x1, c.b1)} + exactFract32Product(x, c.b0));
    if (!c.firstOrder())
        acc = clampTo32(acc + exactFract32Product(h.x2, c.b2));
    acc = clampTo32(scaled(acc, d));
    acc = clampTo32(acc + exactFract32Product(h.y1, negated(c.a1)));
    if (!c.firstOrder())
        acc = clampTo32(acc + exactFract32Product(h.y2, negated(c.a2)));
    return clampTo32(scaled(acc, shift16(shiftA)));
}

// 32x32 A64: doubled products wrapped to 64 bits (only -1 x -1 wraps), sums saturated to 64 bits, y = the high word.
int32_t datapathA64(const Coeffs &c, int32_t x, const History &h, int32_t shiftB, int32_t shiftA)
{
    const auto product = [](int32_t a, int32_t b) {
        return I128{static_cast<int64_t>(static_cast<uint64_t>(2 * I128{a} * b))};
    };
    const auto sat64 = [](I128 v) { return clampBits(v, 64); };
    const int32_t d = static_cast<int16_t>(shift16(shiftB) - shift16(shiftA));
    I128 acc = sat64(product(h.x1, c.b1) + product(x, c.b0));
    if (!c.firstOrder())
        acc = sat64(acc + product(h.x2, c.b2));
    acc = sat64(scaled(acc, d));
    acc = sat64(acc + product(h.y1, negated(c.a1)));
    if (!c.firstOrder())
        acc = sat64(acc + product(h.y2, negated(c.a2)));
    acc = sat64(scaled(acc, shift16(shiftA)));
    return static_cast<int32_t>(floorDivPow2(acc, 32));
}

// 24x24 A24: operands are the top 24 bits; products (a c >> 15, kept in 32 bits) >> 8; every partial sum saturated
// to 24 bits; a right shift acts on the 24-bit value moved to the top of a 32-bit word.
int32_t datapathA24(const Coeffs &c, int32_t x, const History &h, int32_t shiftB, int32_t shiftA)
{
    const auto op = [](int32_t w) { return floorDivPow2(w, 8); };
    const auto product = [](I128 a, I128 b) {
        const auto inRegister = static_cast<int32_t>(static_cast<uint32_t>(floorDivPow2(a * b, 15)));
        return floorDivPow2(inRegister, 8);
    };
    const auto sat24 = [](I128 v) { return clampBits(v, 24); };
    const auto shift24 = [&](I128 v, int32_t s) {
        return s >= 0 ? sat24(scaled(v, s)) : sat24(floorDivPow2(scaled(v * 256, s), 8));
    };
    const int32_t d = static_cast<int16_t>(shift16(shiftB) - shift16(shiftA));
    I128 acc = sat24(product(op(h.x1), op(c.b1)) + product(op(x), op(c.b0)));
    if (!c.firstOrder())
        acc = sat24(acc + product(op(h.x2), op(c.b2)));
    acc = shift24(acc, d);
    acc = sat24(acc + product(op(h.y1), op(negated(c.a1))));
    if (!c.firstOrder())
        acc = sat24(acc + product(op(h.y2), op(negated(c.a2))));
    const int32_t a = shift16(shiftA);
    return static_cast<int32_t>(a >= 0 ? sat24(scaled(acc, a)) * 256 : scaled(acc * 256, a));
}

// ---- Whole-call models: outputs in sample order, the state record updated ----

using SampleModel = int32_t (*)(const Coeffs &, int32_t, const History &, int32_t, int32_t);

// The sections whose y state words hold the output samples.
std::vector<int32_t> runSection(SampleModel model, const Coeffs &c, std::vector<int32_t> &state,
                                const std::vector<int32_t> &x, int32_t shiftB, int32_t shiftA)
{
    History h{state[0], state[1], state[2], state[3]};
    std::vector<int32_t> y;
    for (int32_t xi : x) {
        const int32_t yi = model(c, xi, h, shiftB, shiftA);
        y.push_back(yi);
        h = {xi, h.x1, yi, h.y1};
    }
    if (c.firstOrder())
        state = {h.x1, h.x1, h.y1, h.y1};
    else if (!x.empty())
        state = {h.x1, h.x2, h.y1, h.y2};
    return y;
}

int64_t yWord(const std::vector<int32_t> &s, size_t i)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(s[i + 1])) << 32) |
                                static_cast<uint32_t>(s[i]));
}

// 24x24 A56: feed-forward products of 24-bit operands summed exactly and doubled (units 2^-47); feedback
// floor(y c / 2^23) of the 48-bit state; sums saturated to 56 bits; output = total >> 16, y state = total in 48
// bits. State: x1, x2, then y1 and y2 as 64-bit words, low word first.
std::vector<int32_t> runA56(const Coeffs &c, std::vector<int32_t> &state, const std::vector<int32_t> &x,
                            int32_t shiftB, int32_t shiftA)
{
    const auto op = [](int32_t w) { return floorDivPow2(w, 8); };
    const auto sat56 = [](I128 v) { return clampBits(v, 56); };
    const auto feedback = [](I128 y, I128 coeff) { return floorDivPow2(y * coeff, 23); };
    const int32_t d = static_cast<int16_t>(shift16(shiftB) - shift16(shiftA));
    int32_t x1 = state[0], x2 = state[1];
    I128 y1 = yWord(state, 2), y2 = yWord(state, 4);
    std::vector<int32_t> y;
    for (int32_t xi : x) {
        I128 acc;
        if (c.firstOrder()) {
            acc = std::min<I128>(2 * (op(x1) * op(c.b1) + op(xi) * op(c.b0)), (kOne << 55) - 1);
            acc = sat56(sat56(scaled(acc, d)) + feedback(y1, op(negated(c.a1))));
        } else {
            acc = 2 * (op(x1) * op(c.b1) + op(xi) * op(c.b0) + op(x2) * op(c.b2));
            acc = sat56(sat56(scaled(acc, d)) + feedback(y1, op(negated(c.a1))));
            acc = sat56(acc + feedback(y2, op(negated(c.a2))));
        }
        acc = sat56(scaled(acc, shift16(shiftA)));
        y.push_back(clampTo32(floorDivPow2(acc, 16)));
        x2 = x1;
        x1 = xi;
        y2 = y1;
        y1 = clampBits(acc, 48);
    }
    if (c.firstOrder()) {
        x2 = x1;
        y2 = y1;
    } else if (x.empty()) {
        return y;
    }
    const auto low = [](I128 v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); };
    const auto high = [](I128 v) { return static_cast<int32_t>(static_cast<uint64_t>(v) >> 32); };
    state = {x1, x2, low(y1), high(y1), low(y2), high(y2)};
    return y;
}

// Q4.28 cascade: per section, x' = x >> 3, the five full products summed exactly, out = sum scaled by
// 2^(postShift - 28) and saturated, y1 = out >> 3; section k+1 filters the output of section k.
std::vector<int32_t> runCascade(const std::vector<int32_t> &coeffs, std::vector<int32_t> &state,
                                const std::vector<int32_t> &postShifts, std::vector<int32_t> x)
{
    if (x.empty())
        return x;
    for (size_t k = 0; k < postShifts.size(); ++k) {
        const Coeffs c = coeffsAt(coeffs, k);
        int32_t *s = state.data() + 4 * k;
        for (int32_t &sample : x) {
            const I128 xq = floorDivPow2(sample, 3);
            const I128 sum = c.b0 * xq + c.b1 * I128{s[0]} + c.b2 * I128{s[1]} + negated(c.a1) * I128{s[2]} +
                             negated(c.a2) * I128{s[3]};
            sample = clampTo32(scaled(sum, int64_t{postShifts[k]} - 28));
            s[1] = s[0];
            s[0] = static_cast<int32_t>(xq);
            s[3] = s[2];
            s[2] = static_cast<int32_t>(floorDivPow2(sample, 3));
        }
    }
    return x;
}

// ---- The kernels behind one signature ----

using Kernel = void (*)(const int32_t *src, int32_t srcInc, int32_t *dst, int32_t dstInc, const int32_t *coeffs,
                        int32_t *state, int32_t shiftB, int32_t shiftA, int32_t n);

struct SectionForm {
    const char *name;
    size_t stateWords;
    Kernel kernel;
    SampleModel model; // null: the 24x24 A56 model
};

const SectionForm kSectionForms[] = {
    {"direct form I", 4,
     [](const int32_t *s, int32_t si, int32_t *d, int32_t di, const int32_t *c, int32_t *st, int32_t b, int32_t,
        int32_t n) { kve_vecBiquadFract32(s, si, d, di, c, st, b, n); },
     directFormI},
    {"24x24 A56", 6, kve_vecBiquadFract24x24A56, nullptr},
    {"32x32 A64", 4, kve_vecBiquadFract32x32A64, datapathA64},
    {"32x32 A32", 4, kve_vecBiquadFract32x32A32, datapathA32},
    {"24x24 A24", 4, kve_vecBiquadFract24x24A24, datapathA24},
};

std::vector<int32_t> runModel(const SectionForm &form, const Coeffs &c, std::vector<int32_t> &state,
                              const std::vector<int32_t> &x, int32_t shiftB, int32_t shiftA)
{
    if (form.model == nullptr)
        return runA56(c, state, x, shiftB, shiftA);
    return runSection(form.model, c, state, x, shiftB, shiftA);
}

// ---- Random draws ----

struct Draw {
    std::mt19937 rng{1106};

    int32_t any() { return static_cast<int32_t>(rng()); }
    int32_t pick(const std::vector<int32_t> &values)
    {
        return values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)];
    }
    int32_t sample() { return pick({kMin, kMax, 0, -1, 1, 0x40000000, any(), any(), any(), any() >> 4, any() >> 12}); }
    int32_t coefficient() { return pick({0, kMin, kMax, 1, -1, 0x40000000, -0x40000000, any(), any(), any() >> 3}); }
    int32_t count(int32_t most) { return std::uniform_int_distribution<int32_t>(-2, most)(rng); }
    int64_t wide(int bits) { return static_cast<int64_t>((uint64_t{rng()} << 32) | rng()) >> (64 - bits); }

    // A section; one in three is first-order (b2 = a2 = 0).
    std::vector<int32_t> section()
    {
        std::vector<int32_t> c = {coefficient(), coefficient(), coefficient(), coefficient(), coefficient()};
        if (rng() % 3 == 0)
            c[2] = c[4] = 0;
        return c;
    }
    // A state record as the kernel leaves it: 32-bit words, or for the A56 model 48-bit y words.
    std::vector<int32_t> state(size_t words)
    {
        std::vector<int32_t> s = {sample(), sample()};
        for (size_t i = 2; i < words; ++i)
            s.push_back(words == 6 ? 0 : sample());
        if (words == 6) {
            for (size_t i : {size_t{2}, size_t{4}}) {
                const int64_t limit = int64_t{1} << 47;
                const int64_t edges[] = {0, 1, -1, limit - 1, -limit};
                const int64_t y = rng() % 4 == 0 ? edges[rng() % 5] : wide(48);
                s[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(y)));
                s[i + 1] = static_cast<int32_t>(static_cast<uint64_t>(y) >> 32);
            }
        }
        return s;
    }
};

const std::vector<int32_t> kPostShifts = {0, 0, 1, 1, 2, -1, -3, 30, 31, 32, 40, 64, 70, -31, -32, -40, -63, -64, -70,
                                          kMin, kMax};
const std::vector<int32_t> kDatapathShifts = {0, 0, 1, 1, 2, -1, -2, 8, -8, 23, 24, 31, 32, -31, -32, 47, 55, 56,
                                              63, 64, 65, -64, -65, 0x10001, 0x7FFF, -0x8000, 0x12340000};

std::string describe(const char *name, const std::vector<int32_t> &c, int32_t shiftB, int32_t shiftA, int32_t n,
                     int32_t srcInc, int32_t dstInc, bool inPlace)
{
    std::ostringstream s;
    s << name << " coeffs";
    for (int32_t w : c)
        s << ' ' << w;
    s << " shifts " << shiftB << ' ' << shiftA << " n " << n << " increments " << srcInc << ' ' << dstInc;
    if (inPlace)
        s << " in place";
    return s.str();
}

// Every output at its strided place, every other word untouched, and the state record as the model leaves it.
TEST(BiquadFract32Sections, MatchTheExactModelsOnAnyIncrementAndShift)
{
    Draw draw;
    for (int trial = 0; trial < 300; ++trial) {
        for (const SectionForm &form : kSectionForms) {
            const std::vector<int32_t> coeffs = draw.section();
            const bool dataPath = form.model != directFormI;
            const int32_t shiftB = draw.pick(dataPath ? kDatapathShifts : kPostShifts);
            const int32_t shiftA = draw.pick(kDatapathShifts);
            const int32_t n = draw.count(29);
            const int32_t srcInc = draw.pick({1, 2, -1, 0});
            const int32_t dstInc = draw.pick({1, 3, -1});
            const bool inPlace = srcInc == dstInc && draw.rng() % 2 == 0;
            const std::string where = describe(form.name, coeffs, shiftB, shiftA, n, srcInc, dstInc, inPlace);

            GuardedVector src(n, srcInc);
            GuardedVector dst(n, dstInc);
            std::vector<int32_t> x; // as the kernel reads them: with an increment of 0, the last one written
            for (int32_t i = 0; i < n; ++i)
                src[i] = bitsOf(draw.sample());
            for (int32_t i = 0; i < n; ++i)
                x.push_back(intOf(src[i]));
            GuardedVector &out = inPlace ? src : dst;
            GuardedVector expected = out;
            std::vector<int32_t> expectedState = draw.state(form.stateWords);
            std::vector<int32_t> state = expectedState;
            state.push_back(0x5A5A5A5A); // a guard after the record
            const std::vector<int32_t> y =
                runModel(form, coeffsAt(coeffs, 0), expectedState, x, shiftB, shiftA);
            expectedState.push_back(0x5A5A5A5A);
            for (int32_t i = 0; i < n; ++i)
                expected[i] = bitsOf(y[static_cast<size_t>(i)]);

            form.kernel(src.as<int32_t>(), srcInc, out.as<int32_t>(), out.inc(), coeffs.data(), state.data(), shiftB,
                        shiftA, n);
            ASSERT_EQ(out.words(), expected.words()) << where;
            ASSERT_EQ(state, expectedState) << where;
        }
    }
}

TEST(BiquadCascadeFract32, MatchesTheExactModelOnAnyIncrementAndShift)
{
    Draw draw;
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t sections = draw.pick({-1, 0, 1, 2, 3});
        std::vector<int32_t> coeffs, postShifts, state;
        for (int32_t k = 0; k < std::max(sections, 1); ++k) {
            for (int32_t w : draw.section())
                coeffs.push_back(w);
            postShifts.push_back(draw.pick({0, 1, 2, 3, -1, -5, 28, 29, 31, 35, 60, -60, 100, kMax, kMin}));
            for (int i = 0; i < 4; ++i) // Q4.28 words, as the kernel leaves them
                state.push_back(draw.sample() >> 3);
        }
        const int32_t n = draw.count(29);
        const int32_t srcInc = draw.pick({1, 2, -1, 0});
        const int32_t dstInc = draw.pick({1, 3, -1});
        const bool inPlace = srcInc == dstInc && draw.rng() % 2 == 0;
        const std::string where = describe("cascade", coeffs, postShifts[0], postShifts.back(), n, srcInc, dstInc,
                                           inPlace) +
                                  " sections " + std::to_string(sections);

        GuardedVector src(n, srcInc);
        GuardedVector dst(n, dstInc);
        std::vector<int32_t> x;
        for (int32_t i = 0; i < n; ++i)
            src[i] = bitsOf(draw.sample());
        for (int32_t i = 0; i < n; ++i)
            x.push_back(intOf(src[i]));
        GuardedVector &out = inPlace ? src : dst;
        GuardedVector expected = out;
        std::vector<int32_t> expectedState = state;
        if (sections > 0) {
            const std::vector<int32_t> y = runCascade(coeffs, expectedState, postShifts, x);
            for (int32_t i = 0; i < n; ++i)
                expected[i] = bitsOf(y[static_cast<size_t>(i)]);
        }
        state.push_back(0x5A5A5A5A);
        expectedState.push_back(0x5A5A5A5A);

        kve_vecBiquadCascadeFract32(src.as<int32_t>(), srcInc, out.as<int32_t>(), out.inc(), coeffs.data(),
                                    state.data(), postShifts.data(), n, sections);
        ASSERT_EQ(out.words(), expected.words()) << where;
        ASSERT_EQ(state, expectedState) << where;
    }
}

// ---- State carried across calls ----

struct BlockKernel {
    const char *name;
    size_t stateWords;
    void (*run)(const int32_t *src, int32_t *dst, const int32_t *coeffs, int32_t *state, int32_t n);
};

// Three sections, so the cascade forms have three postShifts; the single sections use the first coefficient set.
constexpr int32_t kCascadeShifts[3] = {1, 0, 2};

const BlockKernel kBlockKernels[] = {
    {"direct form I", 4,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract32(s, 1, d, 1, c, st, 1, n);
     }},
    {"direct form I, contiguous", 4,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract32_single(s, d, c, st, 1, n);
     }},
    {"cascade", 12,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadCascadeFract32(s, 1, d, 1, c, st, kCascadeShifts, n, 3);
     }},
    {"cascade, contiguous", 12,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadCascadeFract32_single(s, d, c, st, kCascadeShifts, n, 3);
     }},
    {"24x24 A56", 6,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract24x24A56(s, 1, d, 1, c, st, 1, 1, n);
     }},
    {"32x32 A64", 4,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract32x32A64(s, 1, d, 1, c, st, 2, 1, n);
     }},
    {"32x32 A32", 4,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract32x32A32(s, 1, d, 1, c, st, 1, 0, n);
     }},
    {"24x24 A24", 4,
     [](const int32_t *s, int32_t *d, const int32_t *c, int32_t *st, int32_t n) {
         kve_vecBiquadFract24x24A24(s, 1, d, 1, c, st, 1, 1, n);
     }},
};

// A resonant lowpass held with shift 1 (a1 = -1.75, a2 = 0.78), a first-order lowpass, and raw words that saturate.
const std::vector<std::vector<int32_t>> kBlockCoefficients = {
    {0x01000000, 0x02000000, 0x01000000, -0x70000000, 0x31EB851F, 0x02000000, 0x04000000, 0x02000000, -0x60000000,
     0x20000000, 0x08000000, 0x08000000, 0x08000000, -0x40000000, 0x10000000},
    {0x20000000, 0x20000000, 0, -0x40000000, 0, 0x10000000, 0x10000000, 0, -0x60000000, 0, 0x40000000, 0, 0, 0, 0},
    {kMax, kMin, 0x7ABCDEF0, kMin, -0x12345678, kMax, kMax, kMax, -0x7FFFFFF0, 0x0FFFFFFF, -5, 7, kMin, 0x40000000,
     kMax},
};

// A call of n samples equals the same samples spread over calls of any lengths, 0 among them, in place or not.
TEST(BiquadFract32State, SeveralBlocksOfAnyLengthsEqualOneLongBlock)
{
    const int32_t lengths[] = {0, 1, 5, 0, 16, 33, 2, 64, 79};
    const int32_t total = 200;
    std::mt19937 rng(7);
    std::vector<int32_t> x(total);
    for (int32_t &v : x)
        v = static_cast<int32_t>(rng()) >> (rng() % 4);
    for (const BlockKernel &k : kBlockKernels) {
        for (const std::vector<int32_t> &coeffs : kBlockCoefficients) {
            std::vector<int32_t> whole(total);
            std::vector<int32_t> wholeState(k.stateWords, 0);
            k.run(x.data(), whole.data(), coeffs.data(), wholeState.data(), total);

            std::vector<int32_t> pieces = x; // filtered in place, block by block
            std::vector<int32_t> piecesState(k.stateWords, 0);
            int32_t at = 0;
            for (int32_t len : lengths) {
                k.run(pieces.data() + at, pieces.data() + at, coeffs.data(), piecesState.data(), len);
                at += len;
            }
            ASSERT_EQ(at, total);
            EXPECT_EQ(pieces, whole) << k.name << " coefficients " << coeffs[0];
            EXPECT_EQ(piecesState, wholeState) << k.name << " coefficients " << coeffs[0];
        }
    }
}

// ---- Edge behaviour of the sections ----

TEST(BiquadFract32Section, HalfGainWithShiftOneClearsTheLowestBit)
{
    const int32_t coeffs[5] = {0x40000000, 0, 0, 0, 0};
    const int32_t x[6] = {kMax, kMin, 0x12345679, -3, 1, 0};
    const int32_t expected[6] = {0x7FFFFFFE, kMin, 0x12345678, -4, 0, 0};
    int32_t y[6] = {};
    int32_t state[4] = {};
    kve_vecBiquadFract32(x, 1, y, 1, coeffs, state, 1, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(y[i], expected[i]) << i;
}

struct FeedbackCase {
    const char *name;
    std::vector<int32_t> state; // y[n-1] of one half, in the form's own units
    Kernel kernel;
    int32_t expected;
};

// A stored a1 of -1.0 adds (1 - 2^-31) y[n-1]: the output keeps the sign of y[n-1] instead of flipping it.
TEST(BiquadFract32Sections, FeedbackCoefficientOfMinusOneKeepsItsSign)
{
    const std::vector<FeedbackCase> cases = {
        {"direct form I", {0, 0, 0x40000000, 0},
         [](const int32_t *s, int32_t si, int32_t *d, int32_t di, const int32_t *c, int32_t *st, int32_t b, int32_t,
            int32_t n) { kve_vecBiquadFract32(s, si, d, di, c, st, b, n); },
         0x3FFFFFFF},
        {"24x24 A56", {0, 0, 0, 0x4000, 0, 0}, kve_vecBiquadFract24x24A56, 0x3FFFFF80},
        {"32x32 A64", {0, 0, 0x40000000, 0}, kve_vecBiquadFract32x32A64, 0x3FFFFFFF},
        {"32x32 A32", {0, 0, 0x40000000, 0}, kve_vecBiquadFract32x32A32, 0x3FFFFFFF},
        {"24x24 A24", {0, 0, 0x40000000, 0}, kve_vecBiquadFract24x24A24, 0x3FFFFF00},
        {"cascade", {0, 0, 0x08000000, 0},
         [](const int32_t *s, int32_t si, int32_t *d, int32_t di, const int32_t *c, int32_t *st, int32_t b, int32_t,
            int32_t n) { kve_vecBiquadCascadeFract32(s, si, d, di, c, st, &b, n, 1); },
         0x3FFFFFFF},
    };
    const int32_t coeffs[5] = {0, 0, 0, kMin, 0};
    for (const FeedbackCase &c : cases) {
        std::vector<int32_t> state = c.state;
        const int32_t x = 0;
        int32_t y = 0;
        c.kernel(&x, 1, &y, 1, coeffs, state.data(), 0, 0, 1);
        EXPECT_EQ(y, c.expected) << c.name;
    }
}

// With b2 = a2 = 0 every call, one of no samples too, leaves x[n-2] = x[n-1] and y[n-2] = y[n-1]; a second-order
// section leaves its state alone when it has no samples to filter.
TEST(BiquadFract32Sections, FirstOrderCallsCopyTheNewestStateWordsIntoTheOlder)
{
    const int32_t firstOrder[5] = {0x20000000, 0x20000000, 0, -0x40000000, 0};
    const int32_t secondOrder[5] = {0x20000000, 0x20000000, 0, -0x40000000, 1};
    const int32_t x[3] = {0x10000000, -0x20000000, 0x30000000};
    for (const SectionForm &form : kSectionForms) {
        const bool wide = form.stateWords == 6;
        const std::vector<int32_t> start =
            wide ? std::vector<int32_t>{11, 12, 13, 14, 15, 16} : std::vector<int32_t>{11, 12, 13, 14};
        for (int32_t n : {-1, 0, 3}) {
            int32_t y[3] = {7, 7, 7};
            std::vector<int32_t> state = start;
            form.kernel(x, 1, y, 1, firstOrder, state.data(), 0, 0, n);
            EXPECT_EQ(state[1], state[0]) << form.name << " n " << n;
            EXPECT_EQ(state[wide ? 4 : 3], state[2]) << form.name << " n " << n;
            if (wide) {
                EXPECT_EQ(state[5], state[3]) << form.name << " n " << n;
            }
            if (n < 1) {
                EXPECT_EQ(state[0], 11) << form.name;
                EXPECT_EQ(state[2], 13) << form.name;
                EXPECT_EQ(y[0], 7) << form.name;
            }

            state = start;
            form.kernel(x, 1, y, 1, secondOrder, state.data(), 0, 0, n < 1 ? n : 0);
            EXPECT_EQ(state, start) << form.name << " second order, n " << n;
        }
    }
}

// Gain 2 (b0 = 1 - 2^-31, shift 1): a full-scale step saturates, and y[n-1] keeps the saturated output in Q4.28.
TEST(BiquadCascadeFract32, FullScaleStepSaturatesAndLeavesTheQ428Limit)
{
    const int32_t coeffs[5] = {kMax, 0, 0, 0, 0};
    const int32_t shift = 1;
    for (const int32_t level : {kMax, kMin}) {
        const int32_t x[4] = {level, level, level, level};
        int32_t y[4] = {};
        int32_t ySingle[4] = {};
        int32_t state[4] = {};
        int32_t stateSingle[4] = {};
        kve_vecBiquadCascadeFract32(x, 1, y, 1, coeffs, state, &shift, 4, 1);
        kve_vecBiquadCascadeFract32_single(x, ySingle, coeffs, stateSingle, &shift, 4, 1);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(y[i], level) << i;
        EXPECT_EQ(state[2], level == kMax ? 0x0FFFFFFF : intOf(0xF0000000u));
        EXPECT_EQ(state[0], level >> 3);
        EXPECT_TRUE(std::equal(y, y + 4, ySingle));
        EXPECT_TRUE(std::equal(state, state + 4, stateSingle));
    }
}

// State words no call of the kernel writes (beyond Q4.28 in the cascade, beyond 48 bits in the A56 y words) act as
// the nearest value it does write, so a corrupt record cannot overflow the sums.
TEST(BiquadFract32Sections, StateWordsBeyondTheirRangeActAsTheNearestLimit)
{
    const int32_t coeffs[5] = {kMax, kMax, kMax, kMin, kMin};
    const int32_t x[3] = {kMax, kMin, kMax};
    const int32_t shift = 28;

    int32_t y[3], yClamped[3];
    int32_t state[4] = {kMax, kMin, kMax, kMin};
    int32_t clamped[4] = {0x0FFFFFFF, intOf(0xF0000000u), 0x0FFFFFFF, intOf(0xF0000000u)};
    kve_vecBiquadCascadeFract32(x, 1, y, 1, coeffs, state, &shift, 3, 1);
    kve_vecBiquadCascadeFract32(x, 1, yClamped, 1, coeffs, clamped, &shift, 3, 1);
    EXPECT_TRUE(std::equal(y, y + 3, yClamped));
    EXPECT_TRUE(std::equal(state, state + 4, clamped));

    int32_t wide[6] = {0, 0, -1, kMax, 0, kMin};
    int32_t wideClamped[6] = {0, 0, -1, 0x7FFF, 0, intOf(0xFFFF8000u)};
    kve_vecBiquadFract24x24A56(x, 1, y, 1, coeffs, wide, 40, 40, 3);
    kve_vecBiquadFract24x24A56(x, 1, yClamped, 1, coeffs, wideClamped, 40, 40, 3);
    EXPECT_TRUE(std::equal(y, y + 3, yClamped));
    EXPECT_TRUE(std::equal(wide, wide + 6, wideClamped));
}

} // namespace
