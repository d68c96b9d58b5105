// The FIR modules: decimators and interpolators against scipy's upfirdn (their Fract32 forms bit-exact against an
// integer model), the sparse FIR and its readers against a direct sum over the input's past, the LMS filter against
// a numpy model and in system identification, the fixed-point normalised LMS's running window energy, convolution
// and correlation against numpy, the plain rate changers, the dither generator and its saturation; and the clamps
// of what a layout or host writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/DelayLines.h"
#include "Modules/Advanced/FirFilters.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kDecimator = 0xBEEF0CF8u;
constexpr uint32_t kDecimatorFract32 = 0xBEEF0CF7u;
constexpr uint32_t kInterpolator = 0xBEEF0CFAu;
constexpr uint32_t kInterpolatorFract32 = 0xBEEF0CF9u;
constexpr uint32_t kSparse = 0xBEEF0CFDu;
constexpr uint32_t kReader = 0xBEEF0D00u;
constexpr uint32_t kReaderFract16 = 0xBEEF0CFEu;
constexpr uint32_t kReaderFract32 = 0xBEEF0CFFu;
constexpr uint32_t kLMS = 0xBEEF0D0Cu;
constexpr uint32_t kLMSNormFract32 = 0xBEEF0D0Du;
constexpr uint32_t kConvolve = 0xBEEF0CDBu;
constexpr uint32_t kCorrelate = 0xBEEF0CDCu;
constexpr uint32_t kDownsampler = 0xBEEF0CEDu;
constexpr uint32_t kUpsampler = 0xBEEF0D47u;
constexpr uint32_t kDither = 0xBEEF0CECu;

const ModClassDescriptor *const kTable[] = {
    &kve_modFIRDecimatorClass.record,     &kve_modFIRDecimatorFract32Class.record,
    &kve_modFIRInterpolatorClass.record,  &kve_modFIRInterpolatorFract32Class.record,
    &kve_modFIRSparseClass.record,        &kve_modFIRSparseReaderClass.record,
    &kve_modFIRSparseReaderFract16Class.record, &kve_modFIRSparseReaderFract32Class.record,
    &kve_modLMSClass.record,              &kve_modLMSNormFract32Class.record,
    &kve_modConvolveClass.record,         &kve_modCorrelateClass.record,
    &kve_modDownsamplerClass.record,      &kve_modUpsamplerClass.record,
    &kve_modDitherFract32Class.record,    &kve_modDelayStateWriterClass.record,
    &kve_modDelayStateWriter16Class.record,
};

using kvetest::noise;
using kvetest::noiseFract32;

std::vector<std::string> oracleArgs(std::initializer_list<double> head, std::initializer_list<std::vector<float>> tails)
{
    std::vector<std::string> args;
    for (double v : head)
        args.push_back(kvetest::oracleArg(v));
    for (const auto &t : tails)
        for (float v : t)
            args.push_back(kvetest::oracleArg(v));
    return args;
}

std::vector<double> oracle(const std::string &mode, std::vector<std::string> args)
{
    args.insert(args.begin(), mode);
    return kvetest::runOracle("fir_multirate_lms.py", args);
}

// Interleaved frames of `channels` channels from per-channel signals, and back.
std::vector<float> channelOf(const std::vector<float> &x, size_t channels, size_t c)
{
    std::vector<float> out;
    for (size_t i = c; i < x.size(); i += channels)
        out.push_back(x[i]);
    return out;
}

// ---- The integer model of the Fract32 FIR kernels ----

int64_t product(int64_t a, int64_t b) { return a == INT32_MIN && b == INT32_MIN ? INT32_MAX : (a * b) >> 31; }

Fract32 scaled(int64_t sum, int32_t postShift)
{
    const int64_t v = postShift >= 0 ? sum * (int64_t{1} << postShift) : sum >> -postShift;
    return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A host's float as the advanced modules' Set stores it: rounded half away from zero, saturated.
Fract32 toFract32(float v)
{
    return static_cast<Fract32>(std::lround(std::clamp(v * 2147483648.0, -2147483648.0, 2147483647.0)));
}

class FirFilters : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }
};

// Every block the engine heaps hand out, a module's array or a wire's samples, is followed by a guard word: a
// module that wrote past the end of one of its arrays or wires has overwritten it.
bool fencesIntact(ClassModule *m)
{
    const uint32_t *capacities = kve_fwModuleHiddenWords(m);
    const ModClassDescriptor *c = m->classRecord;
    const uint32_t arrays = capacities == nullptr ? 0 : std::min(c->countWord >> 16, capacities[-1]);
    for (uint32_t a = 0; a < arrays; ++a)
        if (privateArray<uint32_t>(m, kve_ClassPublicCount(c) + a)[capacities[a]] != KVE_GUARD_WORD)
            return false;
    const uint32_t wires = KVE_PACKED_INPUTS(m->packed) + KVE_PACKED_OUTPUTS(m->packed) + KVE_PACKED_SCRATCH(m->packed);
    for (uint32_t k = 0; k < wires; ++k)
        if (static_cast<const uint32_t *>(m->wires[k]->buffer)[kve::kit::wireWords(m->wires[k])] != KVE_GUARD_WORD)
            return false;
    return true;
}

// ---- Decimators and interpolators ----

// Four blocks of two channels through a decimator, each channel against upfirdn of its whole signal: the rings
// carry each channel's history across blocks.
TEST_F(FirFilters, DecimatorMatchesUpfirdnOnEveryChannelAcrossBlocks)
{
    const struct {
        int32_t factor;
        int32_t taps;
    } cases[] = {{4, 20}, {3, 7}, {1, 5}, {5, 1}};
    for (const auto &c : cases) {
        constexpr size_t kChannels = 2, kBlock = 60, kBlocks = 4;
        const auto outBlock = kBlock / static_cast<size_t>(c.factor);
        GenericWire *in = engine_.wire(kChannels, kBlock);
        GenericWire *out = engine_.wire(kChannels, static_cast<uint32_t>(outBlock));
        const uint32_t ring = static_cast<uint32_t>(c.taps + c.factor - 1);
        ClassModule *m = build(kDecimator, 0x101, {in, out},
                               {static_cast<uint32_t>(c.factor), static_cast<uint32_t>(c.taps), 0, ring});
        const std::vector<float> h = noise(static_cast<size_t>(c.taps), 3);
        std::copy(h.begin(), h.end(), privateArray<float>(m, 4));
        set(m);
        const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 4);
        std::vector<float> y;
        for (size_t b = 0; b < kBlocks; ++b) {
            fill(in, x, b * kChannels * kBlock);
            pump(m);
            const std::vector<float> block = words<float>(out);
            y.insert(y.end(), block.begin(), block.end());
        }
        for (size_t ch = 0; ch < kChannels; ++ch) {
            const std::vector<double> ref =
                oracle("decimate", oracleArgs({double(c.factor), double(c.taps)}, {h, channelOf(x, kChannels, ch)}));
            const std::vector<float> got = channelOf(y, kChannels, ch);
            ASSERT_EQ(ref.size(), got.size());
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_NEAR(got[i], ref[i], 2e-5) << "factor " << c.factor << " taps " << c.taps << " output " << i;
        }
    }
}

// A factor below 1 decimates by 1; with one tap the decimator is a gain on every channel.
TEST_F(FirFilters, DecimatorWithFactorOneAndOneTapIsAGain)
{
    for (uint32_t factor : {1u, 0u, static_cast<uint32_t>(-3)}) {
        GenericWire *in = engine_.wire(3, 8);
        GenericWire *out = engine_.wire(3, 8);
        ClassModule *m = build(kDecimator, 0x101, {in, out}, {factor, 1, 0, 1});
        privateArray<float>(m, 4)[0] = -0.5f;
        const std::vector<float> x = noise(24, 5);
        fill(in, x);
        pump(m);
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_EQ(data<float>(out)[i], -0.5f * x[i]) << "factor " << static_cast<int32_t>(factor);
    }
}

// A rate changer writes only the outputs its output wire holds, however small the wire, and reads only whole
// factor-sized groups of the input.
TEST_F(FirFilters, RateChangersStayWithinTheirOutputWire)
{
    const struct {
        uint32_t classId;
        std::initializer_list<uint32_t> args;
        int32_t coeffs; // the variable of the float taps, -1 for none
    } cases[] = {
        {kDecimator, {2, 4, 0, 5}, 4},
        {kDecimatorFract32, {2, 4, 0, 5, 0}, 5},
        {kInterpolator, {4, 8, 2, 0, 4}, 5},
        {kInterpolatorFract32, {4, 8, 0, 2, 0, 2}, 6},
        {kDownsampler, {1}, -1},
        {kUpsampler, {4}, -1},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 16);
        GenericWire *out = engine_.wire(2, 3);
        fill(in, noise(32, 6));
        ClassModule *m = build(c.classId, 0x101, {in, out}, c.args);
        if (c.coeffs >= 0) {
            std::fill_n(privateArray<float>(m, static_cast<uint32_t>(c.coeffs)), 4, 0.25f);
            set(m);
        }
        pump(m);
        EXPECT_TRUE(fencesIntact(m)) << std::hex << c.classId;
    }
}

// The Fract32 decimator: Set stores the taps in the host's order, tap j weighing the sample j steps old as in the
// float decimator, and every output is the integer model's.
TEST_F(FirFilters, DecimatorFract32IsBitExactAgainstTheIntegerModel)
{
    constexpr int32_t kFactor = 3, kTaps = 9, kBlock = 24, kChannels = 2;
    for (int32_t postShift : {0, 2, -3}) {
        GenericWire *in = engine_.wire(kChannels, kBlock);
        GenericWire *out = engine_.wire(kChannels, kBlock / kFactor);
        ClassModule *m = build(kDecimatorFract32, 0x101, {in, out},
                               {kFactor, kTaps, 0, kTaps + kFactor - 1, static_cast<uint32_t>(postShift)});
        const std::vector<float> h = {0.5f, -1.5f, 1.0f, -1.0f, 0.123456789f, -0.3f, 0.0f, 0.75f, 0.01f};
        std::copy(h.begin(), h.end(), privateArray<float>(m, 5));
        set(m);
        const Fract32 *stored = privateArray<Fract32>(m, 6);
        for (int32_t k = 0; k < kTaps; ++k)
            ASSERT_EQ(stored[k], toFract32(h[static_cast<size_t>(k)])) << "tap " << k;
        const std::vector<Fract32> x = noiseFract32(kChannels * kBlock * 3, 8);
        for (size_t b = 0; b < 3; ++b) {
            fill(in, x, b * kChannels * kBlock);
            pump(m);
            for (int32_t c = 0; c < kChannels; ++c) {
                for (int32_t o = 0; o < kBlock / kFactor; ++o) {
                    const int64_t at = static_cast<int64_t>(b) * kBlock + int64_t{o} * kFactor;
                    int64_t sum = 0;
                    for (int32_t j = 0; j < kTaps; ++j)
                        if (at - j >= 0)
                            sum += product(x[static_cast<size_t>((at - j) * kChannels + c)], stored[j]);
                    ASSERT_EQ(data<Fract32>(out)[o * kChannels + c], scaled(sum, postShift))
                        << "shift " << postShift << " block " << b << " output " << o;
                }
            }
        }
    }
}

// Two channels, three blocks, each channel against upfirdn: the ring of whole frames carries the history.
TEST_F(FirFilters, InterpolatorMatchesUpfirdnOnEveryChannelAcrossBlocks)
{
    const struct {
        int32_t factor;
        int32_t tapsPerPhase;
    } cases[] = {{3, 4}, {2, 5}, {1, 3}};
    for (const auto &c : cases) {
        constexpr uint32_t kChannels = 2, kBlock = 16;
        const int32_t taps = c.factor * c.tapsPerPhase;
        GenericWire *in = engine_.wire(kChannels, kBlock);
        GenericWire *out = engine_.wire(kChannels, kBlock * static_cast<uint32_t>(c.factor));
        ClassModule *m = build(kInterpolator, 0x101, {in, out},
                               {static_cast<uint32_t>(c.factor), static_cast<uint32_t>(taps),
                                static_cast<uint32_t>(c.tapsPerPhase), 0,
                                static_cast<uint32_t>(c.tapsPerPhase) * kChannels});
        const std::vector<float> h = noise(static_cast<size_t>(taps), 11);
        std::copy(h.begin(), h.end(), privateArray<float>(m, 5));
        set(m);
        const std::vector<float> x = noise(kChannels * kBlock * 3, 12);
        std::vector<float> y;
        for (size_t b = 0; b < 3; ++b) {
            fill(in, x, b * kChannels * kBlock);
            pump(m);
            const std::vector<float> block = words<float>(out);
            y.insert(y.end(), block.begin(), block.end());
        }
        for (size_t ch = 0; ch < kChannels; ++ch) {
            const std::vector<double> ref = oracle(
                "interpolate", oracleArgs({double(c.factor), double(taps)}, {h, channelOf(x, kChannels, ch)}));
            const std::vector<float> got = channelOf(y, kChannels, ch);
            ASSERT_EQ(ref.size(), got.size());
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_NEAR(got[i], ref[i], 2e-5) << "factor " << c.factor << " output " << i;
        }
    }
}

TEST_F(FirFilters, InterpolatorFract32IsBitExactAgainstTheIntegerModel)
{
    constexpr int32_t kFactor = 2, kPerPhase = 3, kTaps = kFactor * kPerPhase, kBlock = 8, kChannels = 2;
    constexpr int32_t kShift = 1;
    GenericWire *in = engine_.wire(kChannels, kBlock);
    GenericWire *out = engine_.wire(kChannels, kBlock * kFactor);
    ClassModule *m =
        build(kInterpolatorFract32, 0x101, {in, out}, {kFactor, kTaps, kShift, kPerPhase, 0, kPerPhase});
    const std::vector<float> h = {0.9f, -0.25f, 0.5f, -2.0f, 0.3f, 0.125f};
    std::copy(h.begin(), h.end(), privateArray<float>(m, 6));
    set(m);
    const Fract32 *stored = privateArray<Fract32>(m, 7);
    for (int32_t k = 0; k < kTaps; ++k)
        ASSERT_EQ(stored[k], toFract32(h[static_cast<size_t>(k)]));
    const std::vector<Fract32> x = noiseFract32(kChannels * kBlock * 3, 13);
    for (size_t b = 0; b < 3; ++b) {
        fill(in, x, b * kChannels * kBlock);
        pump(m);
        for (int32_t c = 0; c < kChannels; ++c) {
            for (int32_t i = 0; i < kBlock; ++i) {
                const int64_t at = static_cast<int64_t>(b) * kBlock + i;
                for (int32_t p = 0; p < kFactor; ++p) {
                    int64_t sum = 0;
                    for (int32_t j = 0; j < kPerPhase; ++j)
                        if (at - j >= 0)
                            sum += product(x[static_cast<size_t>((at - j) * kChannels + c)], stored[p + j * kFactor]);
                    ASSERT_EQ(data<Fract32>(out)[(i * kFactor + p) * kChannels + c], scaled(sum, kShift))
                        << "block " << b << " input " << i << " phase " << p;
                }
            }
        }
    }
}

// With the same asymmetric taps, each Fract32 rate changer filters as its float twin does, to within the Fract32
// rounding: a time-reversed copy of the taps would run the mirrored filter.
TEST_F(FirFilters, Fract32RateChangersRunTheFilterTheirFloatTwinsRun)
{
    const std::vector<float> h = {0.6f, 0.3f, -0.2f, 0.1f, 0.05f, -0.02f};
    const std::vector<float> x = noise(48, 30, 0.5f);
    std::vector<Fract32> xq;
    for (float v : x)
        xq.push_back(toFract32(v));
    const struct {
        uint32_t floatId;
        uint32_t fixedId;
        std::initializer_list<uint32_t> floatArgs;
        std::initializer_list<uint32_t> fixedArgs;
        uint32_t outBlock;
        uint32_t floatCoeffs;
        uint32_t fixedCoeffs;
    } cases[] = {
        {kDecimator, kDecimatorFract32, {2, 6, 0, 7}, {2, 6, 0, 7, 0}, 24, 4, 5},
        {kInterpolator, kInterpolatorFract32, {2, 6, 3, 0, 3}, {2, 6, 0, 3, 0, 3}, 96, 5, 6},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(1, 48);
        GenericWire *inq = engine_.wire(1, 48);
        GenericWire *out = engine_.wire(1, c.outBlock);
        GenericWire *outq = engine_.wire(1, c.outBlock);
        ClassModule *f = build(c.floatId, 0x101, {in, out}, c.floatArgs);
        ClassModule *q = build(c.fixedId, 0x101, {inq, outq}, c.fixedArgs);
        std::copy(h.begin(), h.end(), privateArray<float>(f, c.floatCoeffs));
        std::copy(h.begin(), h.end(), privateArray<float>(q, c.fixedCoeffs));
        set(f);
        set(q);
        fill(in, x);
        fill(inq, xq);
        pump(f);
        pump(q);
        for (uint32_t i = 0; i < c.outBlock; ++i)
            ASSERT_NEAR(data<Fract32>(outq)[i] / 2147483648.0, data<float>(out)[i], 1e-6)
                << std::hex << c.fixedId << std::dec << " output " << i;
    }
}

// Every public variable a host may write, at the ends of its range, leaves each class within its own memory and its
// output wire: sizes, factors, indices and shifts are held to what was built.
TEST_F(FirFilters, HostWrittenVariablesAtTheEndsOfTheirRangeStayInBounds)
{
    GenericWire *in = engine_.wire(2, 16);
    GenericWire *in2 = engine_.wire(2, 16);
    GenericWire *out = engine_.wire(2, 16);
    GenericWire *out2 = engine_.wire(2, 16);
    GenericWire *scratch = engine_.wire(1, 32);
    GenericWire *mono = engine_.wire(1, 32);
    GenericWire *monoOut = engine_.wire(1, 32);
    const struct {
        uint32_t classId;
        uint32_t wireWord;
        std::initializer_list<GenericWire *> wires;
        std::initializer_list<uint32_t> args;
    } cases[] = {
        {kDecimator, 0x101, {in, out}, {2, 4, 0, 5}},
        {kDecimatorFract32, 0x101, {in, out}, {2, 4, 0, 5, 0}},
        {kInterpolator, 0x101, {in, out}, {1, 4, 4, 0, 8}},
        {kInterpolatorFract32, 0x101, {in, out}, {1, 4, 0, 4, 0, 4}},
        {kSparse, 0x10101, {mono, monoOut, scratch}, {2, 8, 0x231, 0}},
        {kLMS, 0x302, {in, in2, out, out2, scratch}, {4, 4, kvetest::bitsOf(0.1f), 0}},
        {kLMSNormFract32, 0x202, {in, in2, out, out2}, {4, kvetest::bitsOf(0.1f), 0, 0, 0, 0, 0, 0}},
        {kConvolve, 0x102, {in, in2, out}, {31, 0, 16}},
        {kCorrelate, 0x102, {in, in2, out}, {31, 0, 16}},
        {kDownsampler, 0x101, {in, out}, {2}},
        {kUpsampler, 0x101, {in, out}, {2}},
        {kDither, 0x101, {in, out}, {2, 4, 1}},
    };
    const int32_t ends[] = {INT32_MAX, INT32_MIN, -1, 0, 1 << 20};
    fill(in, noise(32, 14));
    fill(in2, noise(32, 15));
    fill(mono, noise(32, 16));
    for (const auto &c : cases) {
        ClassModule *m = build(c.classId, c.wireWord, c.wires, c.args);
        ASSERT_NE(m, nullptr);
        const uint32_t publics = kve_ClassPublicCount(m->classRecord);
        for (uint32_t k = 0; k < publics; ++k) {
            const int32_t kept = variable<int32_t>(m, k);
            for (int32_t v : ends) {
                variable<int32_t>(m, k) = v;
                if (m->classRecord->set != nullptr)
                    set(m);
                pump(m);
                pump(m);
                ASSERT_TRUE(fencesIntact(m))
                    << std::hex << c.classId << std::dec << " variable " << k << " = " << v;
            }
            variable<int32_t>(m, k) = kept;
        }
    }
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kDecimator, 0x101, {in, out}, {2, static_cast<uint32_t>(-1), 0, 4}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_BAD_ARGUMENT);
}

// ---- Sparse FIR and its readers ----

// The direct sum the sparse FIR and every reader of its line form: sum over taps of c[t] x[n - d[t]].
std::vector<double> sparseSum(const std::vector<float> &x, const std::vector<int32_t> &d, const std::vector<float> &c)
{
    std::vector<double> y(x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n)
        for (size_t t = 0; t < d.size(); ++t)
            if (static_cast<int64_t>(n) - d[t] >= 0)
                y[n] += double(c[t]) * x[n - static_cast<size_t>(d[t])];
    return y;
}

// A FIRSparse and a float reader of its line, run block after block: both give the sparse sum; delays past the
// line's maximum are held to it, negative ones to 0.
TEST_F(FirFilters, SparseFirAndAReaderOfItsLineGiveTheSparseSum)
{
    constexpr uint32_t kBlock = 16, kMaxDelay = 40;
    GenericWire *in = engine_.wire(1, kBlock);
    GenericWire *out = engine_.wire(1, kBlock);
    GenericWire *scratch = engine_.wire(1, kBlock);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *readOut = engine_.wire(1, kBlock);
    const std::vector<int32_t> written = {0, 3, 17, 40, 100, -5};
    const std::vector<int32_t> sparseDelays = {0, 3, 17, 40, 40, 0};
    const std::vector<int32_t> readerDelays = {0, 3, 17, 40, 40, 0};
    const std::vector<float> coeffs = {0.5f, -0.25f, 1.0f, 0.125f, -0.75f, 0.3f};
    const auto taps = static_cast<uint32_t>(coeffs.size());
    ClassModule *sparse = build(kSparse, 0x10101, {in, out, scratch}, {taps, kMaxDelay, 0x231, 0});
    // The layout may give the source's id from the start: the reader still looks it up.
    ClassModule *reader = build(kReader, 0x101, {idWire, readOut}, {taps, sparse->objectId});
    for (ClassModule *m : {sparse, reader}) {
        std::copy(written.begin(), written.end(), privateArray<int32_t>(m, m == sparse ? 4 : 2));
        std::copy(coeffs.begin(), coeffs.end(), privateArray<float>(m, m == sparse ? 5 : 4));
    }
    set(reader);
    data<uint32_t>(idWire)[0] = sparse->objectId;
    const std::vector<float> x = noise(kBlock * 8, 15);
    const std::vector<double> fromSparse = sparseSum(x, sparseDelays, coeffs);
    const std::vector<double> fromReader = sparseSum(x, readerDelays, coeffs);
    for (size_t b = 0; b < 8; ++b) {
        fill(in, x, b * kBlock);
        pump(sparse);
        pump(reader);
        for (size_t i = 0; i < kBlock; ++i) {
            // Samples older than the first block are zero in the line, as in the sum.
            ASSERT_NEAR(data<float>(out)[i], fromSparse[b * kBlock + i], 1e-5) << "block " << b << " sample " << i;
            ASSERT_NEAR(data<float>(readOut)[i], fromReader[b * kBlock + i], 1e-5) << "block " << b << " sample " << i;
        }
    }
    EXPECT_EQ(variable<uint32_t>(reader, 1), sparse->objectId);
}

// The float reader follows a 32-bit delay-state writer's line as it follows a FIRSparse's.
TEST_F(FirFilters, FloatReaderFollowsA32BitWritersLine)
{
    constexpr uint32_t kBlock = 8, kLine = 24;
    GenericWire *in = engine_.wire(1, kBlock);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *out = engine_.wire(1, kBlock);
    ClassModule *writer = build(kve::fir::kDelayStateWriterId, 0x101, {in, idWire}, {0, kLine, 0, 3});
    ClassModule *reader = build(kReader, 0x101, {idWire, out}, {3, 0});
    const std::vector<int32_t> delays = {0, 5, 99};
    const std::vector<float> coeffs = {0.5f, -1.25f, 0.75f};
    std::copy(delays.begin(), delays.end(), privateArray<int32_t>(reader, 2));
    std::copy(coeffs.begin(), coeffs.end(), privateArray<float>(reader, 4));
    set(reader);
    const std::vector<float> x = noise(kBlock * 6, 33);
    const std::vector<double> ref = sparseSum(x, {0, 5, kLine - kBlock}, coeffs);
    for (size_t b = 0; b < 6; ++b) {
        fill(in, x, b * kBlock);
        pump(writer);
        pump(reader);
        for (size_t i = 0; i < kBlock; ++i)
            ASSERT_NEAR(data<float>(out)[i], ref[b * kBlock + i], 1e-6) << "block " << b << " sample " << i;
    }
}

TEST_F(FirFilters, SparseFirWithoutTapsLeavesItsOutputAndNeedsAScratchWire)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    GenericWire *scratch = engine_.wire(1, 8);
    ClassModule *m = build(kSparse, 0x10101, {in, out, scratch}, {0, 10, 0x231, 0});
    fill(in, noise(8, 16));
    std::fill_n(data<float>(out), 8, 7.0f);
    pump(m);
    EXPECT_EQ(words<float>(out), std::vector<float>(8, 7.0f));
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kSparse, 0x101, {in, out}, {1, 10, 0x231, 0}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_ARG_COUNT);
}

// The float reader's bypass passes the newest samples of the line it follows.
TEST_F(FirFilters, ReaderBypassPassesTheNewestSamplesOfTheLine)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    GenericWire *scratch = engine_.wire(1, 8);
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *readOut = engine_.wire(1, 8);
    ClassModule *sparse = build(kSparse, 0x10101, {in, out, scratch}, {0, 4, 0x231, 0});
    ClassModule *reader = build(kReader, 0x101, {idWire, readOut}, {1, 0});
    data<uint32_t>(idWire)[0] = sparse->objectId;
    const std::vector<float> x = noise(16, 17);
    for (size_t b = 0; b < 2; ++b) {
        fill(in, x, b * 8);
        pump(sparse);
        reader->classRecord->bypass(reader);
        EXPECT_EQ(words<float>(readOut), std::vector<float>(x.begin() + b * 8, x.begin() + b * 8 + 8));
    }
}

// Every reader outputs silence for an id that names no module, a module that is no line it knows, or no module at
// all; it follows a new id as soon as it arrives.
TEST_F(FirFilters, ReadersOutputSilenceForAnyIdTheyDoNotFollow)
{
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    GenericWire *scratch = engine_.wire(1, 8);
    ClassModule *sparse = build(kSparse, 0x10101, {in, out, scratch}, {0, 8, 0x231, 0});
    ClassModule *down = build(kDownsampler, 0x101, {in, out}, {1});
    ClassModule *writer16 = build(kve::fir::kDelayStateWriter16Id, 0x101, {in, engine_.wire(1, 1)}, {0, 32, 0, 3});
    fill(in, noise(8, 18));
    pump(sparse);
    const struct {
        uint32_t classId;
        uint32_t id;
    } cases[] = {
        {kReader, down->objectId},          {kReader, 0x7FFFFF},           {kReader, writer16->objectId},
        {kReaderFract32, sparse->objectId}, {kReaderFract32, down->objectId}, {kReaderFract32, writer16->objectId},
        {kReaderFract16, sparse->objectId}, {kReaderFract16, 0x7FFFFF},    {kReaderFract16, in->objectId},
    };
    for (const auto &c : cases) {
        GenericWire *idWire = engine_.wire(1, 1);
        GenericWire *readOut = engine_.wire(1, 8);
        std::initializer_list<uint32_t> args = {1, 0};
        std::initializer_list<uint32_t> fixedArgs = {1, 0, 0};
        ClassModule *reader = build(c.classId, 0x101, {idWire, readOut}, c.classId == kReader ? args : fixedArgs);
        privateArray<float>(reader, c.classId == kReader ? 4 : 5)[0] = 1.0f;
        set(reader);
        std::fill_n(data<float>(readOut), 8, 3.0f);
        data<uint32_t>(idWire)[0] = c.id;
        pump(reader);
        EXPECT_EQ(words<uint32_t>(readOut), std::vector<uint32_t>(8, 0u)) << std::hex << c.classId << " " << c.id;
    }
    // A float reader that was silent follows the next id at once.
    GenericWire *idWire = engine_.wire(1, 1);
    GenericWire *readOut = engine_.wire(1, 8);
    ClassModule *reader = build(kReader, 0x101, {idWire, readOut}, {1, 0});
    privateArray<float>(reader, 4)[0] = 1.0f;
    set(reader);
    data<uint32_t>(idWire)[0] = 0x7FFFFF;
    pump(reader);
    data<uint32_t>(idWire)[0] = sparse->objectId;
    pump(reader);
    EXPECT_EQ(words<float>(readOut), words<float>(in));
}

// The fixed-point readers' scaling: the largest positive exponent, else the largest from -31 up.
TEST_F(FirFilters, FixedPointReadersScaleTheirTapsByTheLargestExponent)
{
    const struct {
        std::vector<float> coeffs;
        int32_t postShift;
    } cases[] = {
        {{0.0f, 0.0f}, -31}, {{3.0f, -0.5f}, 2}, {{-3.0f, 1.0f}, 2}, {{0.25f, -0.1f}, -1},
        {{1e-12f, 0.0f}, -31}, {{0.5f, 0.0f}, 0},
    };
    for (const auto &c : cases) {
        for (uint32_t classId : {kReaderFract32, kReaderFract16}) {
            ClassModule *m = build(classId, 0x101, {engine_.wire(1, 1), engine_.wire(1, 4)}, {2, 0, 0});
            std::copy(c.coeffs.begin(), c.coeffs.end(), privateArray<float>(m, 5));
            set(m);
            EXPECT_EQ(variable<int32_t>(m, 1), c.postShift) << c.coeffs[0] << " " << std::hex << classId;
            for (size_t k = 0; k < 2; ++k) {
                const Fract32 q = toFract32(static_cast<float>(std::ldexp(c.coeffs[k], -c.postShift)));
                if (classId == kReaderFract32)
                    EXPECT_EQ(privateArray<Fract32>(m, 6)[k], q);
                else
                    EXPECT_EQ(reinterpret_cast<int16_t *>(privateArray<int32_t>(m, 6))[k], q >> 16);
            }
        }
    }
}

// The fixed-point readers on the lines of the writers they follow, against the integer model: Fract32 products of
// line samples and scaled taps (Q15 products x 2 for the 16-bit line), summed, scaled back and saturated. A delay
// beyond what the line holds for a whole block is held to that.
TEST_F(FirFilters, FixedPointReadersFollowTheirWritersLines)
{
    constexpr uint32_t kBlock = 8, kLine = 24;
    const std::vector<int32_t> delays = {0, 5, 13, 99};
    const std::vector<float> coeffs = {0.75f, -1.5f, 0.2f, 0.4f};
    for (bool half : {false, true}) {
        GenericWire *in = engine_.wire(1, kBlock);
        GenericWire *idWire = engine_.wire(1, 1);
        GenericWire *out = engine_.wire(1, kBlock);
        const uint32_t writerId = half ? kve::fir::kDelayStateWriter16Id : kve::fir::kDelayStateWriterId;
        ClassModule *writer = build(writerId, 0x101, {in, idWire}, {0, kLine, 0, 3});
        ClassModule *reader = build(half ? kReaderFract16 : kReaderFract32, 0x101, {idWire, out}, {4, 0, 0});
        std::copy(delays.begin(), delays.end(), privateArray<int32_t>(reader, 3));
        std::copy(coeffs.begin(), coeffs.end(), privateArray<float>(reader, 5));
        set(reader);
        const int32_t shift = variable<int32_t>(reader, 1);
        ASSERT_EQ(shift, 1);
        const std::vector<Fract32> x = noiseFract32(kBlock * 6, half ? 19 : 20);
        // What the line keeps of each sample, and each scaled tap as the reader holds it.
        std::vector<int64_t> kept(x.begin(), x.end());
        std::vector<int64_t> taps;
        for (size_t t = 0; t < coeffs.size(); ++t) {
            const Fract32 q = toFract32(static_cast<float>(std::ldexp(coeffs[t], -shift)));
            taps.push_back(half ? q >> 16 : q);
        }
        if (half)
            for (int64_t &v : kept)
                v = std::min<int64_t>((v + 0x8000) >> 16, 32767);
        for (size_t b = 0; b < 6; ++b) {
            fill(in, x, b * kBlock);
            pump(writer);
            pump(reader);
            for (size_t i = 0; i < kBlock; ++i) {
                const int64_t n = static_cast<int64_t>(b * kBlock + i);
                int64_t sum = 0;
                for (size_t t = 0; t < delays.size(); ++t) {
                    const int64_t at = n - std::min<int64_t>(delays[t], kLine - kBlock);
                    if (at < 0)
                        continue;
                    const int64_t v = kept[static_cast<size_t>(at)];
                    sum += half ? std::min<int64_t>(v * taps[t] * 2, INT32_MAX) : product(v, taps[t]);
                }
                ASSERT_EQ(data<Fract32>(out)[i], scaled(sum, shift)) << (half ? "16" : "32") << " sample " << n;
            }
        }
    }
}

// ---- Adaptive filters ----

// LMS identifies an unknown FIR from white noise: its outputs follow the numpy model sample by sample, the error
// power falls by more than 30 dB, and the third output shows the weights padded with zeros to maxTaps.
TEST_F(FirFilters, LmsIdentifiesAnUnknownFirAsTheNumpyModelDoes)
{
    constexpr uint32_t kBlock = 32, kBlocks = 60, kTaps = 12, kMaxTaps = 16;
    const std::vector<float> unknown = {0.4f, -0.3f, 0.2f, 0.1f, -0.05f, 0.6f, 0.0f, -0.2f};
    const std::vector<float> x = noise(kBlock * kBlocks, 21);
    std::vector<float> d(x.size(), 0.0f);
    for (size_t n = 0; n < x.size(); ++n)
        for (size_t j = 0; j < unknown.size() && j <= n; ++j)
            d[n] += unknown[j] * x[n - j];
    GenericWire *desired = engine_.wire(1, kBlock);
    GenericWire *in = engine_.wire(1, kBlock);
    GenericWire *out = engine_.wire(1, kBlock);
    GenericWire *err = engine_.wire(1, kBlock);
    GenericWire *weights = engine_.wire(1, kMaxTaps);
    const float mu = 0.5f;
    ClassModule *m = build(kLMS, 0x302, {desired, in, out, err, weights}, {kMaxTaps, kTaps, kvetest::bitsOf(mu), 0});
    std::vector<float> ys, es;
    for (size_t b = 0; b < kBlocks; ++b) {
        fill(desired, d, b * kBlock);
        fill(in, x, b * kBlock);
        pump(m);
        for (uint32_t i = 0; i < kBlock; ++i) {
            ys.push_back(data<float>(out)[i]);
            es.push_back(data<float>(err)[i]);
        }
    }
    constexpr size_t kModelled = 4 * kBlock;
    const std::vector<float> dHead(d.begin(), d.begin() + kModelled), xHead(x.begin(), x.begin() + kModelled);
    const std::vector<double> ref = oracle("lms", oracleArgs({double(kTaps), mu, double(kModelled)}, {dHead, xHead}));
    ASSERT_EQ(ref.size(), 2 * kModelled);
    for (size_t i = 0; i < kModelled; ++i) {
        ASSERT_NEAR(ys[i], ref[i], 1e-4) << "output " << i;
        ASSERT_NEAR(es[i], ref[kModelled + i], 1e-4) << "error " << i;
    }
    auto power = [&](size_t from) {
        double p = 0.0;
        for (size_t i = from; i < from + kBlock; ++i)
            p += double(es[i]) * es[i];
        return p;
    };
    EXPECT_LT(10.0 * std::log10(power(es.size() - kBlock) / power(0)), -30.0);
    for (uint32_t k = 0; k < kMaxTaps; ++k) {
        const float expected = k < kTaps ? privateArray<float>(m, 4)[k] : 0.0f;
        EXPECT_EQ(data<float>(weights)[k], expected) << "weight " << k;
        if (k < unknown.size()) {
            EXPECT_NEAR(data<float>(weights)[k], unknown[k], 1e-2) << "weight " << k;
        }
    }
}

// A weights output shorter than maxTaps gets no more than it holds.
TEST_F(FirFilters, LmsWeightsOutputStaysWithinItsWire)
{
    GenericWire *desired = engine_.wire(1, 8);
    GenericWire *in = engine_.wire(1, 8);
    GenericWire *out = engine_.wire(1, 8);
    GenericWire *err = engine_.wire(1, 8);
    GenericWire *weights = engine_.wire(1, 3);
    ClassModule *m = build(kLMS, 0x302, {desired, in, out, err, weights}, {32, 2, kvetest::bitsOf(0.1f), 0});
    variable<int32_t>(m, 0) = 1 << 20;
    variable<int32_t>(m, 1) = 1 << 20;
    variable<int32_t>(m, 3) = -7;
    fill(in, noise(8, 22));
    fill(desired, noise(8, 23));
    pump(m);
    pump(m);
    EXPECT_TRUE(fencesIntact(m));
}

// Over many blocks the normalised LMS's energy word of each channel stays the sum of squares of that channel's
// window of numTaps samples (each entering square rounded down and each leaving one up, so it may fall behind by
// at most one per sample), and its leaving word is the oldest sample of the window.
TEST_F(FirFilters, LmsNormFract32KeepsItsWindowEnergyFromBlockToBlock)
{
    constexpr uint32_t kTaps = 10, kBlock = 16, kBlocks = 150, kChannels = 2;
    GenericWire *in = engine_.wire(kChannels, kBlock);
    GenericWire *desired = engine_.wire(kChannels, kBlock);
    GenericWire *out = engine_.wire(kChannels, kBlock);
    GenericWire *err = engine_.wire(kChannels, kBlock);
    ClassModule *m = build(kLMSNormFract32, 0x202, {in, desired, out, err},
                           {kTaps, kvetest::bitsOf(0.05f), 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(variable<Fract32>(m, 5), toFract32(0.05f));
    std::vector<Fract32> x = noiseFract32(kChannels * kBlock * kBlocks, 24);
    for (Fract32 &v : x)
        v /= 4;
    for (uint32_t b = 0; b < kBlocks; ++b) {
        fill(in, x, size_t{b} * kChannels * kBlock);
        fill(desired, x, size_t{b} * kChannels * kBlock);
        pump(m);
    }
    const uint32_t *running = kve_fwModuleHiddenWords(m) + 3;
    const size_t total = size_t{kBlock} * kBlocks;
    for (uint32_t c = 0; c < kChannels; ++c) {
        int64_t squares = 0;
        for (size_t n = total - kTaps; n < total; ++n) {
            const int64_t v = x[n * kChannels + c];
            squares += (v * v) >> 31;
        }
        const auto energy = static_cast<Fract32>(running[2 * c]);
        EXPECT_LE(energy, squares) << "channel " << c;
        EXPECT_GE(energy, squares - static_cast<int64_t>(total)) << "channel " << c;
        EXPECT_EQ(static_cast<Fract32>(running[2 * c + 1]), x[(total - kTaps) * kChannels + c]) << "channel " << c;
    }
}

Fract32 sat(int64_t v) { return static_cast<Fract32>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The normalised LMS of one channel as integers: a window of the last numTaps samples, oldest first, against the
// reversed weights; the window energy drops each leaving square rounded up and takes each entering one rounded down;
// the step is err x mu times the reciprocal of the energy + 256; each weight adds its sample x step, even.
struct LmsNormModel {
    std::vector<int64_t> window;
    std::vector<Fract32> weights;
    int64_t energy = 0;
    int64_t leaving = 0;

    std::pair<Fract32, Fract32> step(Fract32 x, Fract32 desired, Fract32 mu, int32_t shift)
    {
        window.erase(window.begin());
        window.push_back(x);
        energy = sat(energy - ((leaving * leaving + INT32_MAX) >> 31) + ((int64_t{x} * x) >> 31));
        __int128 sum = 0;
        for (size_t k = 0; k < window.size(); ++k)
            sum += static_cast<__int128>(window[k]) * weights[k];
        const Fract32 y = sat(static_cast<int64_t>(std::clamp<__int128>(sum >> (31 - shift), INT64_MIN, INT64_MAX)));
        const Fract32 e = sat(int64_t{desired} - y);
        Fract32 recip = 0;
        kve_vecRecipFract32(sat(energy + 256), &recip);
        const int64_t g = sat((product(e, mu) * recip) >> 31);
        for (size_t k = 0; k < window.size(); ++k)
            weights[k] = sat(weights[k] + (((window[k] * g) >> 31) & ~int64_t{1}));
        leaving = window[0];
        return {y, e};
    }
};

// LMSNormFract32 on two channels over many blocks, every output, error and final weight bit-exact against the
// integer model: each channel adapts its own window with the shared weights, as the kernel is called per channel.
TEST_F(FirFilters, LmsNormFract32IsBitExactAgainstTheIntegerModel)
{
    constexpr uint32_t kTaps = 6, kBlock = 8, kBlocks = 25, kChannels = 2;
    constexpr int32_t kShift = 1;
    GenericWire *in = engine_.wire(kChannels, kBlock);
    GenericWire *desired = engine_.wire(kChannels, kBlock);
    GenericWire *out = engine_.wire(kChannels, kBlock);
    GenericWire *err = engine_.wire(kChannels, kBlock);
    ClassModule *m = build(kLMSNormFract32, 0x202, {in, desired, out, err},
                           {kTaps, kvetest::bitsOf(0.4f), 0, 0, kShift, 0, 0, 0});
    const std::vector<float> h = {0.3f, -0.1f, 0.05f, 0.2f, 0.0f, -0.25f};
    std::copy(h.begin(), h.end(), privateArray<float>(m, 8));
    set(m);
    const Fract32 mu = variable<Fract32>(m, 5);
    ASSERT_EQ(mu, toFract32(0.4f));
    std::vector<Fract32> x = noiseFract32(kChannels * kBlock * kBlocks, 31);
    std::vector<Fract32> d = noiseFract32(x.size(), 32);
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] /= 4;
        d[i] = x[i] / 2 + d[i] / 64;
    }
    LmsNormModel fresh;
    fresh.window.assign(kTaps, 0);
    for (uint32_t k = 0; k < kTaps; ++k)
        fresh.weights.push_back(toFract32(h[kTaps - 1 - k]));
    // Each channel's window, energy and leaving sample are its own; the weights run on from channel to channel.
    std::vector<LmsNormModel> channels(kChannels, fresh);
    std::vector<Fract32> weights = fresh.weights;
    for (uint32_t b = 0; b < kBlocks; ++b) {
        fill(in, x, size_t{b} * kChannels * kBlock);
        fill(desired, d, size_t{b} * kChannels * kBlock);
        pump(m);
        for (uint32_t c = 0; c < kChannels; ++c) {
            channels[c].weights = weights;
            for (uint32_t i = 0; i < kBlock; ++i) {
                const size_t at = (size_t{b} * kBlock + i) * kChannels + c;
                const auto [y, e] = channels[c].step(x[at], d[at], mu, kShift);
                ASSERT_EQ(data<Fract32>(out)[i * kChannels + c], y) << "block " << b << " channel " << c << " " << i;
                ASSERT_EQ(data<Fract32>(err)[i * kChannels + c], e) << "block " << b << " channel " << c << " " << i;
            }
            weights = channels[c].weights;
        }
    }
    for (uint32_t k = 0; k < kTaps; ++k)
        EXPECT_EQ(privateArray<Fract32>(m, 9)[k], weights[k]) << "weight " << k;
}

// ---- Convolution, correlation and the plain rate changers ----

TEST_F(FirFilters, ConvolveAndCorrelateMatchNumpyOnEveryChannel)
{
    constexpr uint32_t kChannels = 2, kA = 16, kB = 6, kFull = kA + kB - 1;
    const struct {
        uint32_t classId;
        const char *mode;
        int32_t first;
        int32_t count;
        uint32_t outBlock;
    } cases[] = {
        {kConvolve, "conv", 0, kFull, kFull},   {kConvolve, "conv", 3, 12, 12},   {kConvolve, "conv", -4, 40, 10},
        {kCorrelate, "corr", 0, kFull, kFull}, {kCorrelate, "corr", kB - 1, kA, kA}, {kCorrelate, "corr", 18, 9, 9},
    };
    for (const auto &c : cases) {
        GenericWire *a = engine_.wire(kChannels, kA);
        GenericWire *b = engine_.wire(kChannels, kB);
        GenericWire *out = engine_.wire(kChannels, c.outBlock);
        std::fill_n(data<float>(out), kChannels * c.outBlock, -9.0f);
        const std::vector<float> xa = noise(kChannels * kA, 25), xb = noise(kChannels * kB, 26);
        fill(a, xa);
        fill(b, xb);
        ClassModule *m = build(c.classId, 0x102, {a, b, out},
                               {kFull, static_cast<uint32_t>(c.first), static_cast<uint32_t>(c.count)});
        pump(m);
        const int32_t first = std::max(c.first, 0);
        for (uint32_t ch = 0; ch < kChannels; ++ch) {
            const std::vector<float> ca = channelOf(xa, kChannels, ch), cb = channelOf(xb, kChannels, ch);
            const std::vector<double> ref = oracle(c.mode, oracleArgs({double(kA)}, {ca, cb}));
            ASSERT_EQ(ref.size(), kFull);
            for (uint32_t k = 0; k < c.outBlock; ++k) {
                const float got = data<float>(out)[k * kChannels + ch];
                const auto at = static_cast<size_t>(first) + k;
                if (k < static_cast<uint32_t>(c.count) && at < kFull)
                    ASSERT_NEAR(got, ref[at], 1e-5) << c.mode << " first " << c.first << " output " << k;
                else
                    ASSERT_EQ(got, -9.0f) << c.mode << " first " << c.first << " output " << k;
            }
        }
        EXPECT_TRUE(fencesIntact(m));
    }
}

TEST_F(FirFilters, DownsamplerAndUpsamplerMoveFramesByTheFactor)
{
    const struct {
        uint32_t classId;
        int32_t factor;
        uint32_t inBlock;
        uint32_t outBlock;
        std::vector<float> x;
        std::vector<float> y;
    } cases[] = {
        {kDownsampler, 3, 6, 2, {1, 10, 2, 20, 3, 30, 4, 40, 5, 50, 6, 60}, {1, 10, 4, 40}},
        {kDownsampler, 0, 2, 2, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {kUpsampler, 3, 2, 6, {1, 10, 2, 20}, {1, 10, 0, 0, 0, 0, 2, 20, 0, 0, 0, 0}},
        {kUpsampler, 2, 3, 5, {1, 10, 2, 20, 3, 30}, {1, 10, 0, 0, 2, 20, 0, 0, 3, 30}},
        {kUpsampler, -1, 2, 2, {1, 2, 3, 4}, {1, 2, 3, 4}},
    };
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, c.inBlock);
        GenericWire *out = engine_.wire(2, c.outBlock);
        fill(in, c.x);
        ClassModule *m = build(c.classId, 0x101, {in, out}, {static_cast<uint32_t>(c.factor)});
        pump(m);
        EXPECT_EQ(words<float>(out), c.y) << std::hex << c.classId << std::dec << " factor " << c.factor;
        std::fill_n(data<float>(out), 2 * c.outBlock, 0.0f);
        m->classRecord->bypass(m);
        EXPECT_EQ(words<float>(out), c.y) << "bypass";
    }
}

// ---- Dither ----

uint32_t lcg(uint32_t s) { return s * 1664525u + 1013904223u; }

// Types 1 and 2 add generator values (one, or the mean of two) shifted right, with the shift held to 0..31; the
// generator runs on from the stored seed; type 0 passes the input and keeps the seed.
TEST_F(FirFilters, DitherAddsTheGeneratorSequenceWithSaturation)
{
    const struct {
        int32_t type;
        int32_t shift;
    } cases[] = {{0, 8}, {1, 8}, {1, 0}, {1, 40}, {1, -2}, {2, 9}, {2, 1}, {2, 0}, {5, 33}};
    for (const auto &c : cases) {
        GenericWire *in = engine_.wire(2, 16);
        GenericWire *out = engine_.wire(2, 16);
        std::vector<Fract32> x = noiseFract32(32, 27);
        x[0] = INT32_MAX;
        x[1] = INT32_MIN;
        x[2] = INT32_MAX - 3;
        x[3] = INT32_MIN + 3;
        fill(in, x);
        const uint32_t seed0 = 12345;
        ClassModule *m = build(kDither, 0x101, {in, out},
                               {static_cast<uint32_t>(c.type), static_cast<uint32_t>(c.shift), seed0});
        uint32_t seed = seed0;
        for (size_t block = 0; block < 2; ++block) {
            pump(m);
            for (size_t i = 0; i < x.size(); ++i) {
                int64_t d = 0;
                if (c.type == 1) {
                    seed = lcg(seed);
                    d = static_cast<int32_t>(seed) >> std::clamp(c.shift, 0, 31);
                } else if (c.type != 0) {
                    const uint32_t r1 = lcg(seed);
                    seed = lcg(r1);
                    d = ((static_cast<int32_t>(seed) >> 1) + (static_cast<int32_t>(r1) >> 1)) >>
                        std::clamp(c.shift - 1, 0, 31);
                }
                const int64_t expected = std::clamp<int64_t>(int64_t{x[i]} + d, INT32_MIN, INT32_MAX);
                ASSERT_EQ(data<Fract32>(out)[i], expected) << "type " << c.type << " shift " << c.shift << " " << i;
            }
            EXPECT_EQ(static_cast<uint32_t>(variable<int32_t>(m, 2)), seed);
        }
    }
}

} // namespace
