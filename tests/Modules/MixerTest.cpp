// The mixer modules: mixes against sums formed in the test from the gain matrix (more outputs than inputs and
// fewer, several input wires, complex wires), glides against the one-pole closed form, Fract32 gain words and mixes
// word for word against integer models, term lists, the channel-copy bypass, the refusal of short wiring, and wires
// or sizes that outgrow what was allocated.
#include "Modules/Standard/Mixers.h"
#include "ScalerTestSupport.h"

#include <random>

namespace scalertest {
namespace {

constexpr uint32_t kMixer = 0xBEEF0FE6u;
constexpr uint32_t kMixerDense = 0xBEEF0FE5u;
constexpr uint32_t kMixerSmoothed = 0xBEEF0FE7u;
constexpr uint32_t kMixerFract32 = 0xBEEF089Eu;
constexpr uint32_t kMixerDenseFract32 = 0xBEEF08A2u;
constexpr uint32_t kSMixer2x1 = 0xBEEF085Eu;
constexpr uint32_t kMixerSmoothedFract32 = 0xBEEF089Fu;
constexpr uint32_t kSMixer2x1Fract32 = 0xBEEF08C6u;
constexpr uint32_t kMixerSmoothedV2b = 0xBEEF0FE8u;
constexpr uint32_t kMixerV3 = 0xBEEF0816u;
constexpr uint32_t kMixerV3Fract32 = 0xBEEF08A6u;
constexpr uint32_t kMixerSparseSmoothed = 0xBEEF0FE9u;

const ModClassDescriptor *const kMixerTable[] = {
    &kve_modMixerClass.record,
    &kve_modMixerDenseClass.record,
    &kve_modMixerSmoothedClass.record,
    &kve_modMixerFract32Class.record,
    &kve_modMixerDenseFract32Class.record,
    &kve_modSMixer2x1Class.record,
    &kve_modMixerSmoothedFract32Class.record,
    &kve_modSMixer2x1Fract32Class.record,
    &kve_modMixerSmoothedV2bClass.record,
    &kve_modMixerV3Class.record,
    &kve_modMixerV3Fract32Class.record,
    &kve_modMixerSparseSmoothedClass.record,
};

class Mixers : public Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kMixerTable;
        engine_->classCount = sizeof kMixerTable / sizeof kMixerTable[0];
    }
};

// Output frame t, channel o of a mix of `inputs` interleaved channels, summed in double from the matrix rows.
double mixOf(const float *in, uint32_t inputs, const std::vector<float> &matrix, uint32_t o, uint32_t t)
{
    double sum = 0.0;
    for (uint32_t i = 0; i < inputs; ++i)
        sum += static_cast<double>(matrix[o * inputs + i]) * in[t * inputs + i];
    return sum;
}

TEST_F(Mixers, MixEveryOutputFromItsRowOfTheMatrix)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t inputs, outputs;
        std::vector<float> matrix; // output-major
    } cases[] = {
        {"Mixer, 2 inputs to 3 outputs", kMixer, 2, 3, {1.0f, 0.0f, 0.5f, -2.0f, 0.0f, 0.25f}},
        {"Mixer, 3 inputs to 2 outputs", kMixer, 3, 2, {0.5f, 0.0f, 1.5f, 0.0f, -1.0f, 3.0f}},
        {"MixerDense, 2 inputs to 3 outputs", kMixerDense, 2, 3, {1.0f, 0.0f, 0.5f, -2.0f, 0.0f, 0.25f}},
        {"MixerDense, 3 inputs to 2 outputs", kMixerDense, 3, 2, {0.5f, 0.0f, 1.5f, 0.0f, -1.0f, 3.0f}},
        {"MixerDense, 2 by 2 is not transposed", kMixerDense, 2, 2, {1.0f, 2.0f, 0.0f, -1.0f}},
    };
    for (const Case &c : cases) {
        GenericWire *in = wire(c.inputs, 16);
        GenericWire *out = wire(c.outputs, 16);
        ramp(in, -5.0f);
        fill(out, 99.0f);
        ClassModule *m = build(c.classId, 0x101, {in, out}, {});
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(c.matrix.begin(), c.matrix.end(), array(m, 0));
        pump(m);
        for (uint32_t t = 0; t < 16; ++t)
            for (uint32_t o = 0; o < c.outputs; ++o)
                EXPECT_NEAR(data(out)[t * c.outputs + o], mixOf(data(in), c.inputs, c.matrix, o, t), 1e-4)
                    << c.what << ": frame " << t << " output " << o;
    }
}

TEST_F(Mixers, MixerMixesRealAndImaginaryPartsOfAComplexWire)
{
    // 64 words per channel are 32 complex samples; as words, the frame is re0 im0 re1 im1.
    GenericWire *in = wire(2, 64, true);
    GenericWire *out = wire(1, 64, true);
    ramp(in, 1.0f);
    ClassModule *m = build(kMixer, 0x101, {in, out}, {});
    ASSERT_NE(m, nullptr);
    array(m, 0)[0] = 2.0f;
    array(m, 0)[1] = -1.0f;
    pump(m);
    for (uint32_t t = 0; t < 32; ++t)
        for (uint32_t part = 0; part < 2; ++part)
            EXPECT_EQ(data(out)[2 * t + part], 2.0f * data(in)[4 * t + part] - data(in)[4 * t + 2 + part])
                << "sample " << t << " part " << part;
}

TEST_F(Mixers, MixerSmoothedGlidesEveryEntryTowardItsTargetAcrossBlocks)
{
    // 2 inputs held at 1 and -2, 3 outputs; entries start from their own current gains, one entry at rest at zero.
    const double a = stepOf(2.0);
    const std::vector<float> target = {1.0f, 0.5f, 0.0f, -1.0f, 0.0f, 0.0f};
    const std::vector<float> start = {0.0f, 2.0f, 0.5f, 0.0f, 0.0f, 0.0f};
    const double x[2] = {1.0, -2.0};
    GenericWire *in = wire(2, 32);
    GenericWire *out = wire(3, 32);
    for (uint32_t t = 0; t < 32; ++t) {
        data(in)[2 * t] = 1.0f;
        data(in)[2 * t + 1] = -2.0f;
    }
    ClassModule *m = build(kMixerSmoothed, 0x101, {in, out}, {bitsOf(2.0f), 0});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, 1), a, 1e-7) << "the coefficient is designed at construction";
    std::copy(target.begin(), target.end(), array(m, 2));
    std::copy(start.begin(), start.end(), array(m, 3));
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 32; ++t) {
            const int steps = 32 * block + static_cast<int>(t) + 1;
            for (uint32_t o = 0; o < 3; ++o) {
                double sum = 0.0;
                for (uint32_t i = 0; i < 2; ++i)
                    sum += glide(start[2 * o + i], target[2 * o + i], a, steps) * x[i];
                EXPECT_NEAR(data(out)[3 * t + o], sum, 2e-5) << "block " << block << " frame " << t << " out " << o;
            }
        }
    }
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_NEAR(array(m, 3)[k], glide(start[k], target[k], a, 64), 1e-5) << "current gain " << k << " is kept";
}

// ---- Fract32 mixers ----

// x2^31 of a float gain already scaled by its shift, rounded half away from zero, held in the Q1.31 range.
int32_t wordOf(float scaled)
{
    const long long w = std::llround(std::ldexp(static_cast<double>(scaled), 31));
    return static_cast<int32_t>(std::clamp<long long>(w, INT32_MIN, INT32_MAX));
}

int32_t saturate(__int128 v) { return static_cast<int32_t>(std::clamp<__int128>(v, INT32_MIN, INT32_MAX)); }

// One output sample of MixerFract32: each non-zero term's Q1.31 product (floor), shifted by the post-shift (a left
// shift saturating), added with saturation.
int32_t termMix(const int32_t *x, const int32_t *g, uint32_t inputs, int32_t shift)
{
    int32_t acc = 0;
    for (uint32_t i = 0; i < inputs; ++i) {
        if (g[i] == 0)
            continue;
        int64_t p = std::min<int64_t>((int64_t{x[i]} * g[i]) >> 31, INT32_MAX);
        p = shift >= 0 ? saturate(static_cast<__int128>(p) << shift) : p >> -shift;
        acc = saturate(static_cast<__int128>(acc) + p);
    }
    return acc;
}

// One output sample of MixerDenseFract32: the exact sum of full products, times 2^(shift - 31) with floor, saturated.
int32_t denseMix(const int32_t *x, const int32_t *g, uint32_t inputs, int32_t shift)
{
    __int128 sum = 0;
    for (uint32_t i = 0; i < inputs; ++i)
        sum += static_cast<__int128>(x[i]) * g[i];
    return saturate(shift <= 31 ? sum >> (31 - shift) : sum << (shift - 31));
}

TEST_F(Mixers, Fract32MixersSplitTheirGainsAndMixWordForWord)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t inputs, outputs;
        std::vector<float> matrix;
        int32_t postShift;
    } cases[] = {
        {"MixerFract32, {0.75, 0.75}: largest entry below 1", kMixerFract32, 2, 1, {0.75f, 0.75f}, 0},
        {"MixerDenseFract32, {0.75, 0.75}: row sum 1.5", kMixerDenseFract32, 2, 1, {0.75f, 0.75f}, 1},
        {"MixerFract32, largest entry 3", kMixerFract32, 2, 3, {3.0f, -0.25f, 0.5f, 0.0f, -1.5f, 0.125f}, 2},
        {"MixerDenseFract32, largest row sum 3.25", kMixerDenseFract32, 2, 3, {3.0f, -0.25f, 0.5f, 0.0f, -1.5f,
                                                                              0.125f}, 2},
        {"MixerFract32, small gains", kMixerFract32, 3, 2, {0.001f, 0.002f, -0.0015f, 0.003f, 0.0005f, -0.002f}, -8},
        {"MixerDenseFract32, small row sums", kMixerDenseFract32, 3, 2, {0.001f, 0.002f, -0.0015f, 0.003f, 0.0005f,
                                                                         -0.002f}, -7},
        {"MixerDenseFract32, full-scale inputs clip", kMixerDenseFract32, 2, 2, {1.0f, 1.0f, -1.0f, -1.0f}, 2},
    };
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> sample(INT32_MIN, INT32_MAX);
    for (const Case &c : cases) {
        GenericWire *in = wire(c.inputs, 16);
        GenericWire *out = wire(c.outputs, 16);
        auto *x = static_cast<int32_t *>(in->buffer);
        for (uint32_t k = 0; k < c.inputs * 16; ++k)
            x[k] = sample(rng);
        x[0] = INT32_MAX;
        x[1] = c.inputs > 2 ? INT32_MIN : INT32_MAX;
        ClassModule *m = build(c.classId, 0x101, {in, out}, zeroArgs(c.classId));
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(c.matrix.begin(), c.matrix.end(), array(m, 1));
        ClassModule_Set(m, 0xFFFFFFFFu);
        EXPECT_EQ(var<int32_t>(m, 0), c.postShift) << c.what;
        const int32_t *words = array<int32_t>(m, 2);
        for (size_t k = 0; k < c.matrix.size(); ++k)
            EXPECT_EQ(words[k], wordOf(std::ldexp(c.matrix[k], -c.postShift))) << c.what << ": entry " << k;
        pump(m);
        const auto *y = static_cast<const int32_t *>(out->buffer);
        for (uint32_t t = 0; t < 16; ++t)
            for (uint32_t o = 0; o < c.outputs; ++o) {
                const int32_t *row = words + o * c.inputs;
                const int32_t *frame = x + t * c.inputs;
                const int32_t expected = c.classId == kMixerFract32 ? termMix(frame, row, c.inputs, c.postShift)
                                                                    : denseMix(frame, row, c.inputs, c.postShift);
                EXPECT_EQ(y[t * c.outputs + o], expected) << c.what << ": frame " << t << " output " << o;
            }
    }
}

TEST_F(Mixers, Fract32GainWordsOfTheEdgeMatrices)
{
    // Written out by hand: the gain words the two shift rules give for the row {0.75, 0.75}.
    for (auto [classId, word] : {std::pair{kMixerFract32, 0x60000000}, std::pair{kMixerDenseFract32, 0x30000000}}) {
        GenericWire *in = wire(2, 4);
        GenericWire *out = wire(1, 4);
        ClassModule *m = build(classId, 0x101, {in, out}, zeroArgs(classId));
        ASSERT_NE(m, nullptr);
        array(m, 1)[0] = array(m, 1)[1] = 0.75f;
        ClassModule_Set(m, 0xFFFFFFFFu);
        EXPECT_EQ(array<int32_t>(m, 2)[0], word);
        EXPECT_EQ(array<int32_t>(m, 2)[1], word);
    }
}

TEST_F(Mixers, Fract32MixersOnAWireThatGrewStayInsideTheirMatrix)
{
    // Built for 2 × 2 entries; with 3 input channels MixerFract32 serves output 0 alone and the dense mixer, which
    // walks the whole matrix at once, stays silent.
    for (uint32_t classId : {kMixerFract32, kMixerDenseFract32}) {
        GenericWire *in = wire(3, 8);
        GenericWire *out = wire(2, 8);
        const uint32_t threeChannels = in->info1;
        in->info1 = wire(2, 8)->info1;
        ClassModule *m = build(classId, 0x101, {in, out}, zeroArgs(classId));
        ASSERT_NE(m, nullptr);
        in->info1 = threeChannels;
        auto *x = static_cast<int32_t *>(in->buffer);
        for (uint32_t k = 0; k < 24; ++k)
            x[k] = 0x01000000 * static_cast<int32_t>(k + 1);
        std::fill_n(array(m, 1), 4, 0.5f);
        ClassModule_Set(m, 0xFFFFFFFFu);
        fill(out, 99.0f);
        pump(m);
        const auto *y = static_cast<const int32_t *>(out->buffer);
        const int32_t half[3] = {0x40000000, 0x40000000, 0x40000000};
        for (uint32_t t = 0; t < 8; ++t) {
            EXPECT_EQ(y[2 * t], classId == kMixerFract32 ? termMix(x + 3 * t, half, 3, 0) : 0) << t;
            EXPECT_EQ(y[2 * t + 1], 0) << t;
        }
    }
}

TEST_F(Mixers, SMixer2x1GlidesBothGainsOverEveryChannel)
{
    // Arguments: gain1, gain2, smoothingTime, currentGain1, currentGain2, smoothingCoeff.
    const double a = stepOf(0.5);
    GenericWire *in[2] = {wire(2, 32), wire(2, 32)};
    GenericWire *out = wire(2, 32);
    fill(in[0], 1.0f);
    fill(in[1], -0.5f);
    ClassModule *m = build(kSMixer2x1, 0x102, {in[0], in[1], out},
                           {bitsOf(2.0f), bitsOf(-1.0f), bitsOf(0.5f), bitsOf(0.25f), bitsOf(1.0f), 0});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, 5), a, 1e-7);
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 32; ++t) {
            const int steps = 32 * block + static_cast<int>(t) + 1;
            const double expected = glide(0.25, 2.0, a, steps) - 0.5 * glide(1.0, -1.0, a, steps);
            EXPECT_NEAR(data(out)[2 * t], expected, 2e-5) << "block " << block << " frame " << t;
            EXPECT_NEAR(data(out)[2 * t + 1], expected, 2e-5) << "block " << block << " frame " << t;
        }
    }
    EXPECT_NEAR(var(m, 3), glide(0.25, 2.0, a, 64), 1e-5);
    EXPECT_NEAR(var(m, 4), glide(1.0, -1.0, a, 64), 1e-5);
}

TEST_F(Mixers, SMixer2x1MixesOnlyTheFramesEveryWireHolds)
{
    GenericWire *a = wire(2, 16);
    GenericWire *b = wire(2, 4);
    GenericWire *out = wire(2, 16);
    fill(a, 1.0f);
    fill(b, 1.0f);
    fill(out, 99.0f);
    ClassModule *m = build(kSMixer2x1, 0x102, {a, b, out}, {bitsOf(1.0f), bitsOf(1.0f), 0, bitsOf(1.0f),
                                                             bitsOf(1.0f), bitsOf(1.0f)});
    ASSERT_NE(m, nullptr);
    var(m, 5) = 1.0f;
    pump(m);
    for (uint32_t k = 0; k < 32; ++k)
        EXPECT_EQ(data(out)[k], k < 8 ? 2.0f : 99.0f) << k;
}

TEST_F(Mixers, MixerSmoothedFract32GlidesEveryEntryWordForWord)
{
    // 2 inputs into 3 outputs under post-shift 1; the gains glide by the Q1.31 one-pole step of the integer model.
    const std::vector<float> matrix = {1.5f, -0.5f, 0.0f, 0.75f, -2.0f, 0.25f};
    const int32_t shift = 1;
    GenericWire *in = wire(2, 32);
    GenericWire *out = wire(3, 32);
    auto *x = static_cast<int32_t *>(in->buffer);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> sample(INT32_MIN, INT32_MAX);
    for (uint32_t k = 0; k < 64; ++k)
        x[k] = sample(rng);
    // Arguments: smoothingTime, smoothingCoeff, postShift.
    ClassModule *m = build(kMixerSmoothedFract32, 0x101, {in, out}, {bitsOf(1.0f), 0, static_cast<uint32_t>(shift)});
    ASSERT_NE(m, nullptr);
    const int32_t coeff = var<int32_t>(m, 1);
    EXPECT_NEAR(coeff, std::ldexp(stepOf(1.0), 31), 512.0) << "the coefficient is designed at construction";
    std::copy(matrix.begin(), matrix.end(), array(m, 3));
    const std::vector<int32_t> start = {0, 0x10000000, -0x20000000, 0, 0, 0};
    std::copy(start.begin(), start.end(), array<int32_t>(m, 5));
    ClassModule_Set(m, 0);
    std::vector<int32_t> target(6), g = start;
    for (uint32_t k = 0; k < 6; ++k) {
        target[k] = wordOf(std::ldexp(matrix[k], -shift));
        EXPECT_EQ(array<int32_t>(m, 4)[k], target[k]) << "target " << k;
    }
    const int32_t keep = INT32_MAX - coeff;
    auto mul = [](int64_t a, int64_t b) { return std::min<int64_t>((a * b) >> 31, INT32_MAX); };
    pump(m);
    const auto *y = static_cast<const int32_t *>(out->buffer);
    for (uint32_t t = 0; t < 32; ++t)
        for (uint32_t o = 0; o < 3; ++o) {
            int32_t acc = 0;
            for (uint32_t i = 0; i < 2; ++i) {
                int32_t &gain = g[o * 2 + i];
                if (target[o * 2 + i] == 0 && start[o * 2 + i] == 0)
                    continue;
                gain = saturate(__int128{saturate(mul(gain, keep))} + mul(target[o * 2 + i], coeff));
                acc = saturate(__int128{acc} + saturate(static_cast<__int128>(mul(x[2 * t + i], gain)) << shift));
            }
            EXPECT_EQ(y[3 * t + o], acc) << "frame " << t << " output " << o;
        }
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_EQ(array<int32_t>(m, 5)[k], g[k]) << "current gain " << k << " is kept";
}

TEST_F(Mixers, SMixer2x1Fract32GlidesBothGainsWordForWordOnEveryChannel)
{
    // Arguments: gain1, gain2, smoothingTime, targetGain1, currentGain1, targetGain2, currentGain2, smoothingCoeff,
    // postShift, gainScale. Gains 1.5 and -0.75 scaled by 0.5 into Q1.31, post-shift 1 gives them back.
    const int32_t current1 = 0x08000000, current2 = 0x40000000;
    GenericWire *in[2] = {wire(2, 16), wire(2, 16)};
    GenericWire *out = wire(2, 16);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> sample(INT32_MIN, INT32_MAX);
    int32_t *x[2] = {static_cast<int32_t *>(in[0]->buffer), static_cast<int32_t *>(in[1]->buffer)};
    for (uint32_t k = 0; k < 32; ++k) {
        x[0][k] = sample(rng);
        x[1][k] = sample(rng);
    }
    ClassModule *m = build(kSMixer2x1Fract32, 0x102, {in[0], in[1], out},
                           {bitsOf(1.5f), bitsOf(-0.75f), bitsOf(0.25f), 0, static_cast<uint32_t>(current1), 0,
                            static_cast<uint32_t>(current2), 0, 1, bitsOf(0.5f)});
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(var<int32_t>(m, 3), 0x60000000);
    EXPECT_EQ(var<int32_t>(m, 5), -0x30000000);
    const int32_t coeff = var<int32_t>(m, 7);
    EXPECT_NEAR(coeff, std::ldexp(stepOf(0.25), 31), 512.0);
    const int32_t keep = INT32_MAX - coeff;
    auto mul = [](int64_t a, int64_t b) { return std::min<int64_t>((a * b) >> 31, INT32_MAX); };
    auto step = [&](int32_t g, int32_t target) {
        return saturate(__int128{saturate(mul(g, keep))} + mul(target, coeff));
    };
    auto scaled = [&](int32_t sample, int32_t g) { return saturate(static_cast<__int128>(mul(sample, g)) << 1); };
    pump(m);
    const auto *y = static_cast<const int32_t *>(out->buffer);
    for (uint32_t c = 0; c < 2; ++c) {
        int32_t g1 = current1, g2 = current2;
        for (uint32_t t = 0; t < 16; ++t) {
            g1 = step(g1, 0x60000000);
            g2 = step(g2, -0x30000000);
            const int32_t expected = saturate(__int128{scaled(x[0][2 * t + c], g1)} + scaled(x[1][2 * t + c], g2));
            EXPECT_EQ(y[2 * t + c], expected) << "channel " << c << " frame " << t;
        }
        EXPECT_EQ(var<int32_t>(m, 4), g1);
        EXPECT_EQ(var<int32_t>(m, 6), g2);
    }
}

TEST_F(Mixers, MixerSmoothedV2bStepsEveryGainOncePerBlockOverSeveralInputWires)
{
    // Input wires of 1 and 2 channels (3 input channels) into 3 outputs: outputs 0 and 1 as a pair, 2 alone.
    const float timeMs = 2.0f;
    const double a = 1.0 - std::exp(-32.0 * 1000.0 / (timeMs * kRate)); // one step per 32-frame block
    const std::vector<float> target = {1.0f, 0.0f, -0.5f, 0.0f, 2.0f, 0.0f, 0.25f, 0.0f, -1.0f};
    const std::vector<float> start = {0.0f, 0.0f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    GenericWire *in[2] = {wire(1, 32), wire(2, 32)};
    GenericWire *out = wire(3, 32);
    ramp(in[0], 1.0f);
    ramp(in[1], -20.0f);
    // Arguments: smoothingTime, smoothingCoeff, inputChannels.
    ClassModule *m = build(kMixerSmoothedV2b, 0x102, {in[0], in[1], out}, {bitsOf(timeMs), 0, 3});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, 1), a, 1e-6);
    std::copy(target.begin(), target.end(), array(m, 3));
    std::copy(start.begin(), start.end(), array(m, 4));
    for (int block = 0; block < 2; ++block) {
        pump(m);
        for (uint32_t t = 0; t < 32; ++t) {
            const double x[3] = {data(in[0])[t], data(in[1])[2 * t], data(in[1])[2 * t + 1]};
            for (uint32_t o = 0; o < 3; ++o) {
                double sum = 0.0;
                for (uint32_t g = 0; g < 3; ++g)
                    sum += glide(start[3 * o + g], target[3 * o + g], a, block + 1) * x[g];
                EXPECT_NEAR(data(out)[3 * t + o], sum, 1e-4 * (1.0 + std::fabs(sum)))
                    << "block " << block << " frame " << t << " output " << o;
            }
        }
    }
}

TEST_F(Mixers, MixerSmoothedV2bWithFewerInputChannelsThanItsWiresStaysInsideItsMatrix)
{
    // Sized for 1 input channel × 2 outputs while the wires carry 3 input channels: no whole row fits, so the
    // output stays silent rather than reading past the matrices.
    GenericWire *in[2] = {wire(1, 8), wire(2, 8)};
    GenericWire *out = wire(2, 8);
    ramp(in[0]);
    ramp(in[1]);
    fill(out, 99.0f);
    ClassModule *m = build(kMixerSmoothedV2b, 0x102, {in[0], in[1], out}, {0, 0, 1});
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(kve::kit::capacity(m, 0), 2u);
    std::fill_n(array(m, 3), 2, 1.0f);
    std::fill_n(array(m, 4), 2, 1.0f);
    pump(m);
    for (uint32_t k = 0; k < 16; ++k)
        EXPECT_EQ(data(out)[k], 0.0f) << k;
}

TEST_F(Mixers, MixerV3MixesTheTermsItKeepsFromTheMatrix)
{
    // Input wires of 1 and 2 channels (3 input channels) into 2 outputs; `mixed` is the matrix the output shows.
    struct Case {
        const char *what;
        int32_t maxTerms;
        int32_t maxTermsWritten; // written by the host after construction, 0 for none
        std::vector<float> matrix, mixed;
    } cases[] = {
        {"two terms keep the first two in matrix order", 2, 0, {0.5f, 0, 1.0f, 2.0f, 0, 0}, {0.5f, 0, 1.0f, 0, 0, 0}},
        {"a negative gain mixes", 6, 0, {-0.5f, 0, 0, 0, 0.25f, 0}, {-0.5f, 0, 0, 0, 0.25f, 0}},
        {"a gain below 1e-6 stays silent", 6, 0, {5e-7f, 1.0f, 0, 0, 0, -3.0f}, {0, 1.0f, 0, 0, 0, -3.0f}},
        {"maxTerms written past the allocation uses what was allocated", 2, 100, {0.5f, 0, 1.0f, 2.0f, 0, 0},
         {0.5f, 0, 1.0f, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        GenericWire *in[2] = {wire(1, 8), wire(2, 8)};
        GenericWire *out = wire(2, 8);
        ramp(in[0], 1.0f);
        ramp(in[1], -30.0f);
        ClassModule *m = build(kMixerV3, 0x102, {in[0], in[1], out}, {static_cast<uint32_t>(c.maxTerms), 3});
        ASSERT_NE(m, nullptr) << c.what;
        if (c.maxTermsWritten != 0)
            var<int32_t>(m, 0) = c.maxTermsWritten;
        std::copy(c.matrix.begin(), c.matrix.end(), array(m, 2));
        ClassModule_Set(m, 1u << 10);
        pump(m);
        for (uint32_t t = 0; t < 8; ++t) {
            const float x[3] = {data(in[0])[t], data(in[1])[2 * t], data(in[1])[2 * t + 1]};
            for (uint32_t o = 0; o < 2; ++o)
                EXPECT_NEAR(data(out)[2 * t + o], mixOf(x, 3, c.mixed, o, 0), 1e-4)
                    << c.what << ": frame " << t << " output " << o;
        }
    }
}

TEST_F(Mixers, MixerSmoothedFract32TakesAnyPostShiftAHostWrites)
{
    // A shift far beyond the word leaves every gain at 0 or at full scale of its sign, as the exact scaling would.
    struct Case {
        int32_t postShift;
        std::vector<int32_t> targets;
    } cases[] = {
        {INT32_MAX, {0, 0, 0, 0}},
        {INT32_MIN, {INT32_MAX, INT32_MIN, 0, INT32_MAX}},
        {300, {0, 0, 0, 0}},
        {-300, {INT32_MAX, INT32_MIN, 0, INT32_MAX}},
    };
    for (const Case &c : cases) {
        ClassModule *m = build(kMixerSmoothedFract32, 0x101, {wire(2, 8), wire(2, 8)}, {bitsOf(1.0f), 0, 0});
        ASSERT_NE(m, nullptr);
        const std::vector<float> matrix = {0.5f, -0.25f, 0.0f, 1e-30f};
        std::copy(matrix.begin(), matrix.end(), array(m, 3));
        var<int32_t>(m, 2) = c.postShift;
        ClassModule_Set(m, 0);
        for (uint32_t k = 0; k < 4; ++k)
            EXPECT_EQ(array<int32_t>(m, 4)[k], c.targets[k]) << "shift " << c.postShift << ", entry " << k;
    }
}

TEST_F(Mixers, MixerV3Fract32MixesItsPositiveTermsWordForWord)
{
    // Input wires of 1 and 2 channels into 2 outputs; the largest entry sets the post-shift, negative and tiny
    // term gains stay silent, and maxTerms cuts the list in matrix order.
    struct Case {
        const char *what;
        int32_t maxTerms;
        std::vector<float> matrix;
        int32_t postShift;
    } cases[] = {
        {"largest entry 3", 6, {3.0f, 0, 0.5f, 0, 1.0f, 0}, 2},
        {"a negative gain is listed but not mixed", 6, {-0.5f, 0.25f, 0, 0, 0, 0.75f}, 0},
        {"a gain of 5e-7 is listed but not mixed", 6, {5e-7f, 0.5f, 0, 0, 0, 0}, 0},
        {"two terms keep the first two", 2, {0.5f, 0, 0.25f, 0.75f, 0, 0}, 0},
        {"all negative: the largest, -0.25, sets the shift", 6, {-4.0f, -1.0f, -2.0f, -0.5f, -3.0f, -0.25f}, -1},
    };
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> sample(INT32_MIN, INT32_MAX);
    for (const Case &c : cases) {
        GenericWire *in[2] = {wire(1, 8), wire(2, 8)};
        GenericWire *out = wire(2, 8);
        int32_t *x[2] = {static_cast<int32_t *>(in[0]->buffer), static_cast<int32_t *>(in[1]->buffer)};
        for (uint32_t k = 0; k < 8; ++k)
            x[0][k] = sample(rng);
        for (uint32_t k = 0; k < 16; ++k)
            x[1][k] = sample(rng);
        ClassModule *m =
            build(kMixerV3Fract32, 0x102, {in[0], in[1], out}, {static_cast<uint32_t>(c.maxTerms), 0, 0, 3});
        ASSERT_NE(m, nullptr) << c.what;
        std::copy(c.matrix.begin(), c.matrix.end(), array(m, 4));
        ClassModule_Set(m, 1u << 12);
        EXPECT_EQ(var<int32_t>(m, 1), c.postShift) << c.what;
        std::vector<int32_t> words(c.matrix.size());
        for (size_t k = 0; k < words.size(); ++k)
            words[k] = wordOf(std::ldexp(c.matrix[k], -c.postShift));
        std::vector<int32_t> kept(words.size(), 0);
        for (size_t k = 0, n = 0; k < words.size(); ++k)
            if (words[k] != 0 && n < static_cast<size_t>(c.maxTerms)) {
                EXPECT_EQ(array<int32_t>(m, 5)[n], words[k]) << c.what << ": term " << n;
                kept[k] = words[k] > 2146 ? words[k] : 0;
                ++n;
            }
        pump(m);
        const auto *y = static_cast<const int32_t *>(out->buffer);
        for (uint32_t t = 0; t < 8; ++t) {
            const int32_t frame[3] = {x[0][t], x[1][2 * t], x[1][2 * t + 1]};
            for (uint32_t o = 0; o < 2; ++o)
                EXPECT_EQ(y[2 * t + o], termMix(frame, kept.data() + 3 * o, 3, c.postShift))
                    << c.what << ": frame " << t << " output " << o;
        }
    }
}

TEST_F(Mixers, MixerSparseSmoothedGlidesItsTermSlotsOncePerBlock)
{
    // Input wires of 1 and 2 channels into 2 outputs. Terms in matrix order: 1.0 at (0, 0), -0.5 at (0, 2), 2.0 at
    // (1, 1); every slot starts from 0 and glides one step per block; the negative slot is never mixed. Then a
    // rebuild drops the first term: the slots shift and each keeps its smoothed gain for the term now in it.
    const float timeMs = 2.0f;
    const double a = 1.0 - std::exp(-32.0 * 1000.0 / (timeMs * kRate));
    GenericWire *in[2] = {wire(1, 32), wire(2, 32)};
    GenericWire *out = wire(2, 32);
    ramp(in[0], 1.0f);
    ramp(in[1], -40.0f);
    // Arguments: smoothingTime, smoothingCoeff, maxTerms, inputChannels.
    ClassModule *m = build(kMixerSparseSmoothed, 0x102, {in[0], in[1], out}, {bitsOf(timeMs), 0, 4, 3});
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(var(m, 1), a, 1e-6);
    const std::vector<float> matrix = {1.0f, 0, -0.5f, 0, 2.0f, 0};
    std::copy(matrix.begin(), matrix.end(), array(m, 4));
    ClassModule_Set(m, 1u << 12);
    auto channel = [&](uint32_t g, uint32_t t) { return g == 0 ? data(in[0])[t] : data(in[1])[2 * t + g - 1]; };
    for (int block = 0; block < 2; ++block) {
        pump(m);
        const double g = 1.0 - std::pow(1.0 - a, block + 1); // a slot gliding from 0 toward 1
        for (uint32_t t = 0; t < 32; ++t) {
            EXPECT_NEAR(data(out)[2 * t], g * channel(0, t), 1e-4) << "block " << block << " frame " << t;
            EXPECT_NEAR(data(out)[2 * t + 1], 2.0 * g * channel(1, t), 1e-4) << "block " << block << " frame " << t;
        }
    }
    // Rebuild without the first term: slot 0 (gain near 1 - (1 - a)^2) now holds -0.5 at (0, 2), slot 1 holds 2.0.
    const double slot0 = 1.0 - std::pow(1.0 - a, 2), slot1 = -0.5 * slot0, slot2 = 2.0 * slot0;
    array(m, 4)[0] = 0.0f;
    ClassModule_Set(m, 1u << 12);
    pump(m);
    const double g0 = slot0 * (1.0 - a) - 0.5 * a, g1 = slot1 * (1.0 - a) + 2.0 * a, g2 = slot2 * (1.0 - a);
    for (uint32_t t = 0; t < 32; ++t) {
        EXPECT_NEAR(data(out)[2 * t], (g0 >= 1e-6 ? g0 : 0.0) * channel(2, t), 1e-4) << "frame " << t;
        EXPECT_NEAR(data(out)[2 * t + 1], g1 * channel(1, t) + g2 * channel(1, t), 1e-4)
            << "frame " << t << ": the old last slot fades out on its old pointers";
    }
}

TEST_F(Mixers, ChannelCopyBypassCopiesInputChannelsAcrossWiresInOrder)
{
    struct Case {
        const char *what;
        uint32_t outputs;
    } cases[] = {{"fewer outputs than input channels", 2}, {"more outputs than input channels", 5}};
    for (const Case &c : cases)
        for (auto [classId, args] : {std::pair{kMixerSmoothedV2b, std::vector<uint32_t>{0, 0, 3}},
                                     std::pair{kMixerV3, std::vector<uint32_t>{4, 3}}}) {
            GenericWire *in[2] = {wire(1, 8), wire(2, 8)};
            GenericWire *out = wire(c.outputs, 8);
            ramp(in[0], 1.0f);
            ramp(in[1], 100.0f);
            fill(out, 99.0f);
            ClassModule *m = build(classId, 0x102, {in[0], in[1], out}, args);
            ASSERT_NE(m, nullptr) << c.what;
            m->classRecord->bypass(m);
            for (uint32_t t = 0; t < 8; ++t) {
                const float x[3] = {data(in[0])[t], data(in[1])[2 * t], data(in[1])[2 * t + 1]};
                for (uint32_t o = 0; o < c.outputs; ++o)
                    EXPECT_EQ(data(out)[c.outputs * t + o], o < 3 ? x[o] : 0.0f)
                        << c.what << ": frame " << t << " output " << o;
            }
        }
}

TEST_F(Mixers, RefuseWiringWithoutAnOutput)
{
    for (uint32_t classId :
         {kMixer, kMixerDense, kMixerSmoothed, kMixerFract32, kMixerDenseFract32, kMixerSmoothedFract32,
          kMixerSmoothedV2b, kMixerV3, kMixerV3Fract32, kMixerSparseSmoothed}) {
        GenericWire *in = wire(2, 8);
        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, 0x001, {in}, zeroArgs(classId), &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
    GenericWire *in = wire(2, 8);
    GenericWire *out = wire(2, 8);
    for (uint32_t classId : {kSMixer2x1, kSMixer2x1Fract32}) {
        int32_t status = KVE_OK;
        EXPECT_EQ(build(classId, 0x101, {in, out}, zeroArgs(classId), &status), nullptr) << "one input of two";
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

TEST_F(Mixers, AWireThatGrewAfterConstructionLeavesRowsBeyondTheMatrixSilent)
{
    // Built for 2 inputs × 2 outputs (4 entries); the input then carries 3 channels, so a row needs 3 entries and
    // only output 0 has a whole row inside the matrix.
    for (uint32_t classId : {kMixer, kMixerDense, kMixerSmoothed}) {
        GenericWire *in = wire(3, 8);
        GenericWire *out = wire(2, 8);
        const uint32_t threeChannels = in->info1;
        in->info1 = wire(2, 8)->info1;
        ClassModule *m = build(classId, 0x101, {in, out}, zeroArgs(classId));
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(kve::kit::capacity(m, 0), 4u);
        in->info1 = threeChannels;
        ramp(in);
        fill(out, 99.0f);
        const std::vector<float> matrix = {1.0f, 2.0f, 3.0f, 4.0f};
        // The smoothed mixer takes its targets at once (coefficient 1) and keeps its current gains in the second array.
        const uint32_t first = classId == kMixerSmoothed ? 2 : 0;
        if (classId == kMixerSmoothed)
            var(m, 1) = 1.0f;
        std::copy(matrix.begin(), matrix.end(), array(m, first));
        pump(m);
        for (uint32_t t = 0; t < 8; ++t) {
            EXPECT_NEAR(data(out)[2 * t], mixOf(data(in), 3, matrix, 0, t), 1e-4) << t;
            EXPECT_EQ(data(out)[2 * t + 1], 0.0f) << t;
        }
    }
}

} // namespace
} // namespace scalertest
