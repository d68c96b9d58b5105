// The FFT modules: the float transforms against numpy.fft for every size on one to four channels, the round trip,
// constant blocks, Cfft's direction word; the plans shared per size, given back by each module's teardown and made
// anew after a layout is torn down; the Fract32 forms bit-exact against an integer model of their steps around the
// block-floating-point kernel and within that kernel's error of numpy; and the wirings construction refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Modules/Advanced/FftModules.h"
#include "kve/kve_vec.h"
#include "support/ModuleVariables.h"
#include "support/OracleValues.h"
#include "support/TestEngine.h"

namespace {

using kve::fftmod::FftState;
using kvetest::bitsOf;

constexpr uint32_t kFft = 0xBEEF0CF5u, kIfft = 0xBEEF0D09u, kCfft = 0xBEEF0CCEu;
constexpr uint32_t kFftFract32 = 0xBEEF0CF4u, kIfftFract32 = 0xBEEF0D08u, kCfftFract32 = 0xBEEF0CCDu;
const ModClassDescriptor *const kTable[] = {
    &kve_modFftClass.record,        &kve_modIfftClass.record,        &kve_modCfftClass.record,
    &kve_modFftFract32Class.record, &kve_modIfftFract32Class.record, &kve_modCfftFract32Class.record,
};
constexpr uint32_t kWithScratch = 0x10101u;

#if defined(__SANITIZE_ADDRESS__)
const std::vector<int32_t> kSizes = {4, 8, 1024, 16384};
#else
const std::vector<int32_t> kSizes = {4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384};
#endif

// An engine with room for two channels of the largest transform, holding only the FFT classes. Its layout is torn
// down (every module's teardown Set) before its heaps go, as the library interface does, so no test leaves a plan
// held for the next one.
class Engine : public kvetest::TestEngine {
public:
    Engine() : kvetest::TestEngine(options())
    {
        get()->classTable = kTable;
        get()->classCount = std::size(kTable);
    }
    ~Engine() { kve_fwDestroy(get()); }

    // A module on its input, output and scratch wires; null and the status when it is refused.
    ClassModule *build(uint32_t classId, GenericWire *in, GenericWire *out, GenericWire *scratch,
                       const std::vector<uint32_t> &args = {}, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        GenericWire *wires[3] = {in, out, scratch};
        return ClassModule_Constructor3(get(), classId, status != nullptr ? status : &local, kWithScratch, wires,
                                        static_cast<uint32_t>(args.size()), args.data());
    }

private:
    static kvetest::EngineOptions options()
    {
        kvetest::EngineOptions o;
        o.heapWords = 1u << 18;
        return o;
    }
};

float *floats(GenericWire *w) { return static_cast<float *>(w->buffer); }
int32_t *words(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
uint32_t wordCount(const GenericWire *w) { return kve::kit::wireWords(w); }
void run(ClassModule *m) { m->classRecord->process(m); }

void load(GenericWire *w, const std::vector<float> &values)
{
    ASSERT_EQ(values.size(), wordCount(w));
    std::copy(values.begin(), values.end(), floats(w));
}
std::vector<float> read(GenericWire *w) { return {floats(w), floats(w) + wordCount(w)}; }

const FftState *stateOf(ClassModule *m, uint32_t variable)
{
    return kvetest::privateArray<FftState>(m, variable);
}

// The numbers tests/oracles/fft_modules.py prints for one kind, channel count and the sizes given, read in order.
kvetest::OracleValues modulesReference(const std::string &kind, uint32_t channels, const std::vector<int32_t> &sizes)
{
    std::vector<std::string> args = {kind, std::to_string(channels)};
    for (int32_t n : sizes)
        args.push_back(std::to_string(n));
    return kvetest::OracleValues("fft_modules.py", args);
}

double norm(const std::vector<float> &x)
{
    double sum = 0.0;
    for (float v : x)
        sum += static_cast<double>(v) * v;
    return std::sqrt(sum);
}

// Every word within `tol` of the reference.
template <class T>
::testing::AssertionResult within(const std::vector<T> &actual, const std::vector<double> &expected, double tol)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << actual.size() << " words, expected " << expected.size();
    for (size_t i = 0; i < actual.size(); ++i) {
        if (!(std::fabs(static_cast<double>(actual[i]) - expected[i]) <= tol))
            return ::testing::AssertionFailure() << "word " << i << " is " << actual[i] << ", expected " << expected[i]
                                                 << " (tolerance " << tol << ")";
    }
    return ::testing::AssertionSuccess();
}

// ---- Float transforms ----

// A float module of one class and its words per channel at size N: input, output, scratch.
struct FloatCase {
    const char *name;
    uint32_t classId;
    std::vector<uint32_t> args;
    const char *oracle;
    uint32_t inWords(uint32_t n) const { return classId == kIfft ? n + 2 : classId == kFft ? n : 2 * n; }
    uint32_t outWords(uint32_t n) const { return classId == kFft ? n + 2 : classId == kIfft ? n : 2 * n; }
};

const FloatCase kFloatCases[] = {
    {"Fft", kFft, {}, "rfft"},
    {"Ifft", kIfft, {}, "irfft"},
    {"Cfft dir 1", kCfft, {1}, "fft"},
    {"Cfft dir 0", kCfft, {0}, "fft"},
    {"Cfft dir 5", kCfft, {5}, "fft"},
    {"Cfft dir -1", kCfft, {static_cast<uint32_t>(-1)}, "ifft"},
};

TEST(FftModules, FloatTransformsGiveNumpyFftOnEveryChannelForEverySize)
{
    for (const FloatCase &fc : kFloatCases) {
        // Two channels go through the transforms as one complex pair, four as two pairs read from the middle of
        // the block, three one channel at a time.
        const std::pair<uint32_t, std::vector<int32_t>> counts[] = {
            {1u, kSizes}, {2u, kSizes}, {3u, {4, 8, 512}}, {4u, {4, 8, 512}}};
        for (const auto &[channels, sizes] : counts) {
            kvetest::OracleValues ref = modulesReference(fc.oracle, channels, sizes);
            ASSERT_FALSE(ref.empty());
            for (int32_t n : sizes) {
                SCOPED_TRACE(std::string(fc.name) + ", " + std::to_string(channels) + " channels, N = " +
                             std::to_string(n));
                Engine engine;
                GenericWire *in = engine.wire(channels, fc.inWords(n));
                GenericWire *out = engine.wire(channels, fc.outWords(n));
                GenericWire *scratch = engine.wire(1, 2 * n + 2);
                int32_t status = KVE_OK;
                ClassModule *m = engine.build(fc.classId, in, out, scratch, fc.args, &status);
                ASSERT_NE(m, nullptr) << "status " << status;
                const std::vector<double> input = ref.take(wordCount(in));
                const std::vector<double> expected = ref.take(wordCount(out));
                const std::vector<float> x(input.begin(), input.end());
                load(in, x);
                run(m);
                EXPECT_TRUE(within(read(out), expected, 1e-5 * norm(x)));
            }
        }
    }
}

TEST(FftModules, IfftOfFftGivesTheInputBack)
{
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int32_t n : kSizes) {
        SCOPED_TRACE("N = " + std::to_string(n));
        Engine engine;
        GenericWire *x = engine.wire(2, n);
        GenericWire *bins = engine.wire(2, n + 2);
        GenericWire *y = engine.wire(2, n);
        GenericWire *scratch = engine.wire(1, n + 2);
        ClassModule *fft = engine.build(kFft, x, bins, scratch);
        ClassModule *ifft = engine.build(kIfft, bins, y, scratch);
        ASSERT_NE(fft, nullptr);
        ASSERT_NE(ifft, nullptr);
        std::vector<float> input(wordCount(x));
        for (float &v : input)
            v = u(gen);
        load(x, input);
        run(fft);
        run(ifft);
        EXPECT_TRUE(within(read(y), std::vector<double>(input.begin(), input.end()), 1e-5 * norm(input)));
    }
}

// A constant block a has the one bin N x a: through the packed 4-point path and the plans alike, with the imaginary
// parts of bins 0 and N/2 exactly 0.
TEST(FftModules, FftOfAConstantBlockIsOneRealBin)
{
    struct Case {
        int32_t n;
        float a0, a1; // channel 0 and channel 1
    };
    const Case cases[] = {{4, 0.25f, -1.5f}, {8, 1.0f, 0.0f}, {256, -0.75f, 3.0f}, {4096, 0.5f, -0.125f}};
    for (const Case &c : cases) {
        SCOPED_TRACE("N = " + std::to_string(c.n));
        Engine engine;
        GenericWire *in = engine.wire(2, c.n);
        GenericWire *out = engine.wire(2, c.n + 2);
        ClassModule *m = engine.build(kFft, in, out, engine.wire(1, c.n));
        ASSERT_NE(m, nullptr);
        for (int32_t i = 0; i < c.n; ++i) {
            floats(in)[2 * i] = c.a0;
            floats(in)[2 * i + 1] = c.a1;
        }
        run(m);
        const float a[2] = {c.a0, c.a1};
        for (int32_t ch = 0; ch < 2; ++ch) {
            const double tol = 1e-5 * std::fabs(a[ch]) * std::sqrt(c.n);
            for (int32_t k = 0; k <= c.n / 2; ++k) {
                const float re = floats(out)[2 * (2 * k + ch)];
                const float im = floats(out)[2 * (2 * k + ch) + 1];
                EXPECT_NEAR(re, k == 0 ? c.n * a[ch] : 0.0, tol) << "channel " << ch << " bin " << k;
                EXPECT_NEAR(im, 0.0, tol) << "channel " << ch << " bin " << k;
                if (k == 0 || k == c.n / 2) {
                    EXPECT_EQ(im, 0.0f) << "channel " << ch << " bin " << k;
                }
            }
        }
    }
}

// ---- Plans ----

TEST(FftModules, ModulesOfOneSizeShareAPlanAndEachTeardownGivesBackOnlyItsOwn)
{
    constexpr int32_t n = 256;
    Engine engine;
    GenericWire *x = engine.wire(2, n);
    GenericWire *bins = engine.wire(2, n + 2);
    GenericWire *y = engine.wire(2, n);
    GenericWire *spare = engine.wire(2, n + 2);
    GenericWire *z = engine.wire(2, 2 * n);
    GenericWire *scratch = engine.wire(1, 2 * n);
    ClassModule *first = engine.build(kFft, x, spare, scratch);
    ClassModule *fft = engine.build(kFft, x, bins, scratch);
    ClassModule *ifft = engine.build(kIfft, bins, y, scratch);
    ClassModule *cfft = engine.build(kCfft, z, engine.wire(2, 2 * n), scratch, {1});
    ClassModule *larger = engine.build(kFft, engine.wire(1, 2 * n), engine.wire(1, 2 * n + 2), scratch);
    ASSERT_TRUE(first && fft && ifft && cfft && larger);
    const kve::fft::FftPlan *shared = stateOf(first, 0)->plan;
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(stateOf(fft, 0)->plan, shared);
    EXPECT_EQ(stateOf(ifft, 0)->plan, shared);
    EXPECT_NE(stateOf(cfft, 1)->plan, shared);
    EXPECT_NE(stateOf(larger, 0)->plan, shared);
    EXPECT_EQ(stateOf(first, 0)->sizeIndex, 7);
    EXPECT_EQ(stateOf(larger, 0)->sizeIndex, 8);

    std::mt19937 gen(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> input(wordCount(x));
    for (float &v : input)
        v = u(gen);
    load(x, input);

    // A host's teardown Set on a running module, twice, and an ordinary Set after it: that module writes zeros,
    // and the others of its size keep the plan.
    EXPECT_EQ(ClassModule_Set(first, KVE_MASK_TEARDOWN), KVE_OK);
    EXPECT_EQ(ClassModule_Set(first, KVE_MASK_TEARDOWN), KVE_OK);
    EXPECT_EQ(ClassModule_Set(first, KVE_MASK_ALL), KVE_OK);
    EXPECT_EQ(stateOf(first, 0)->plan, nullptr);
    std::fill(floats(spare), floats(spare) + wordCount(spare), 7.0f);
    run(first);
    for (uint32_t w = 0; w < wordCount(spare); ++w)
        ASSERT_EQ(bitsOf(floats(spare)[w]), 0u) << "word " << w;
    run(fft);
    run(ifft);
    EXPECT_TRUE(within(read(y), std::vector<double>(input.begin(), input.end()), 1e-5 * norm(input)));

    // The same for the complex plans: a torn-down Cfft writes zeros.
    ClassModule_Set(cfft, KVE_MASK_TEARDOWN);
    std::fill(floats(z), floats(z) + wordCount(z), 1.0f);
    run(cfft);
    for (uint32_t w = 0; w < wordCount(kve::kit::wire(cfft, 1)); ++w)
        ASSERT_EQ(bitsOf(floats(kve::kit::wire(cfft, 1))[w]), 0u) << "word " << w;
}

// A layout torn down frees the plans its modules held; the next layout of the same sizes makes them anew and
// transforms correctly (the sanitizer build sees any use of a freed plan).
TEST(FftModules, LayoutsBuiltAfterATeardownMakeTheirPlansAnew)
{
    constexpr int32_t n = 64;
    Engine engine;
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("layout " + std::to_string(round));
        GenericWire *x = engine.wire(1, n);
        GenericWire *bins = engine.wire(1, n + 2);
        GenericWire *y = engine.wire(1, n);
        GenericWire *scratch = engine.wire(1, 2 * n);
        GenericWire *z = engine.wire(1, 2 * n);
        GenericWire *back = engine.wire(1, 2 * n);
        GenericWire *zz = engine.wire(1, 2 * n);
        ClassModule *fft = engine.build(kFft, x, bins, scratch);
        ClassModule *ifft = engine.build(kIfft, bins, y, scratch);
        ClassModule *cfft = engine.build(kCfft, z, back, scratch, {1});
        ClassModule *icfft = engine.build(kCfft, back, zz, scratch, {static_cast<uint32_t>(-1)});
        ASSERT_TRUE(fft && ifft && cfft && icfft);
        ASSERT_NE(stateOf(fft, 0)->plan, nullptr);
        std::vector<float> input(n), complexInput(2 * n);
        for (float &v : input)
            v = u(gen);
        for (float &v : complexInput)
            v = u(gen);
        load(x, input);
        load(z, complexInput);
        run(fft);
        run(ifft);
        run(cfft);
        run(icfft);
        EXPECT_TRUE(within(read(y), std::vector<double>(input.begin(), input.end()), 1e-5 * norm(input)));
        EXPECT_TRUE(
            within(read(zz), std::vector<double>(complexInput.begin(), complexInput.end()), 1e-5 * norm(complexInput)));
        kve_fwDestroy(engine.get());
    }
}

// ---- Construction ----

TEST(FftModules, ConstructionRefusesWiresTheTransformDoesNotFit)
{
    struct Case {
        const char *name;
        uint32_t classId;
        uint32_t inChannels, inBlock, outChannels, outBlock, scratchWords;
        int32_t status;
    };
    const Case cases[] = {
        {"Fft at the smallest wires it needs", kFft, 2, 16, 2, 18, 16, KVE_OK},
        {"Fft of 2 points", kFft, 1, 2, 1, 4, 2, KVE_E_BAD_ARGUMENT},
        {"Fft of 6 points", kFft, 1, 6, 1, 8, 6, KVE_E_BAD_ARGUMENT},
        {"Fft of 32768 points", kFft, 1, 32768, 1, 32770, 32768, KVE_E_BAD_ARGUMENT},
        {"Fft output without the bin N/2", kFft, 1, 16, 1, 16, 16, KVE_E_BAD_ARGUMENT},
        {"Fft output of other channels", kFft, 2, 16, 1, 36, 16, KVE_E_BAD_ARGUMENT},
        {"Fft scratch below N", kFft, 1, 16, 1, 18, 15, KVE_E_BAD_ARGUMENT},
        {"Ifft at the smallest wires it needs", kIfft, 2, 18, 2, 16, 18, KVE_OK},
        {"Ifft input not N + 2", kIfft, 1, 16, 1, 16, 18, KVE_E_BAD_ARGUMENT},
        {"Ifft input of a larger N", kIfft, 1, 34, 1, 16, 34, KVE_E_BAD_ARGUMENT},
        {"Ifft of 6 points", kIfft, 1, 8, 1, 6, 8, KVE_E_BAD_ARGUMENT},
        {"Ifft scratch below N + 2", kIfft, 1, 18, 1, 16, 17, KVE_E_BAD_ARGUMENT},
        {"Cfft at the smallest wires it needs", kCfft, 2, 32, 2, 32, 32, KVE_OK},
        {"Cfft of 3 values", kCfft, 1, 6, 1, 6, 6, KVE_E_BAD_ARGUMENT},
        {"Cfft output short", kCfft, 1, 32, 1, 30, 32, KVE_E_BAD_ARGUMENT},
        {"Cfft scratch below 2N", kCfft, 1, 32, 1, 32, 31, KVE_E_BAD_ARGUMENT},
        {"FftFract32 at the smallest wires it needs", kFftFract32, 2, 16, 2, 18, 32, KVE_OK},
        {"FftFract32 output without the bin N/2", kFftFract32, 1, 16, 1, 16, 32, KVE_E_BAD_ARGUMENT},
        {"FftFract32 scratch below 2N", kFftFract32, 1, 16, 1, 18, 31, KVE_E_BAD_ARGUMENT},
        {"IfftFract32 at the smallest wires it needs", kIfftFract32, 2, 18, 2, 16, 32, KVE_OK},
        {"IfftFract32 output short", kIfftFract32, 1, 18, 1, 15, 32, KVE_E_BAD_ARGUMENT},
        {"IfftFract32 scratch below 2N", kIfftFract32, 1, 18, 1, 16, 31, KVE_E_BAD_ARGUMENT},
        {"IfftFract32 input without a bin", kIfftFract32, 1, 1, 1, 16, 32, KVE_E_BAD_ARGUMENT},
        {"CfftFract32 at the smallest wires it needs", kCfftFract32, 2, 32, 2, 32, 32, KVE_OK},
        {"CfftFract32 output short", kCfftFract32, 1, 32, 1, 31, 32, KVE_E_BAD_ARGUMENT},
        {"CfftFract32 scratch below 2N", kCfftFract32, 1, 32, 1, 32, 31, KVE_E_BAD_ARGUMENT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Engine engine;
        const std::vector<uint32_t> args = c.classId == kCfft           ? std::vector<uint32_t>{1}
                                           : c.classId == kIfftFract32  ? std::vector<uint32_t>{0}
                                           : c.classId == kCfftFract32 ? std::vector<uint32_t>{1, 0}
                                                                        : std::vector<uint32_t>{};
        GenericWire *wires[3] = {engine.wire(c.inChannels, c.inBlock), engine.wire(c.outChannels, c.outBlock),
                                 engine.wire(1, c.scratchWords)};
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine.get(), c.classId, &status, kWithScratch, wires,
                                                  static_cast<uint32_t>(args.size()), args.data());
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(m != nullptr, c.status == KVE_OK);
        // Without a scratch wire nothing is built either.
        status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine.get(), c.classId, &status, 0x101u, wires,
                                           static_cast<uint32_t>(args.size()), args.data()),
                  nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

// ---- Fract32 forms ----

// The integer model: products and shifts as 64-bit integers saturated to the Fract32 range, around the
// block-floating-point kernel (bit reversal, then the transform and its block exponent).
int32_t saturated(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
int32_t product(int32_t a, int32_t b) { return saturated((int64_t{a} * b) >> 31); }
int32_t scaledBack(int32_t v, int32_t e) { return e >= 0 ? saturated(int64_t{v} * (int64_t{1} << e)) : v >> -e; }

struct Spectrum {
    std::vector<int32_t> words; // N complex values
    int32_t exponent;
};
Spectrum blockTransform(std::vector<int32_t> work)
{
    const auto n = static_cast<int32_t>(work.size() / 2);
    kve_vecBitReversal(work.data(), 2 * n);
    const int32_t e = kve_vecCfftFract32Wrapper(work.data(), n);
    return {work, e};
}

// Channel c of an interleaved block of `channels` channels, `perValue` words to a value.
std::vector<int32_t> channelOf(const std::vector<int32_t> &block, uint32_t channels, uint32_t c, uint32_t perValue)
{
    std::vector<int32_t> out;
    for (size_t v = c * perValue; v < block.size(); v += channels * perValue)
        out.insert(out.end(), block.begin() + static_cast<ptrdiff_t>(v),
                   block.begin() + static_cast<ptrdiff_t>(v + perValue));
    return out;
}

std::vector<int32_t> modelFft(const std::vector<int32_t> &x)
{
    const size_t n = x.size();
    std::vector<int32_t> work(2 * n, 0);
    for (size_t i = 0; i < n; ++i)
        work[2 * i] = x[i];
    const Spectrum s = blockTransform(work);
    std::vector<int32_t> bins(n + 2);
    for (size_t w = 0; w < n + 2; ++w)
        bins[w] = scaledBack(s.words[w], s.exponent);
    return bins;
}

std::vector<int32_t> modelIfft(const std::vector<int32_t> &bins, int32_t scale)
{
    const size_t n = bins.size() - 2;
    std::vector<int32_t> work(2 * n, 0);
    std::copy(bins.begin(), bins.begin() + static_cast<ptrdiff_t>(std::min(n + 2, 2 * n)), work.begin());
    for (size_t k = n / 2 + 1; k < n; ++k) {
        work[2 * k] = work[2 * (n - k)];
        work[2 * k + 1] = product(work[2 * (n - k) + 1], INT32_MIN);
    }
    for (size_t w = 0; w < 2 * n; ++w) {
        work[w] = product(work[w], scale);
        if (w % 2 == 1)
            work[w] = product(work[w], INT32_MIN);
    }
    const Spectrum s = blockTransform(work);
    std::vector<int32_t> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = scaledBack(s.words[2 * i], s.exponent);
    return x;
}

std::vector<int32_t> modelCfft(std::vector<int32_t> work, bool inverse, int32_t scale)
{
    if (inverse)
        for (size_t w = 0; w < work.size(); ++w)
            work[w] = w % 2 == 1 ? product(product(work[w], scale), INT32_MIN) : product(work[w], scale);
    Spectrum s = blockTransform(work);
    for (size_t w = 0; w < s.words.size(); ++w) {
        const int32_t v = inverse && w % 2 == 1 ? product(s.words[w], INT32_MIN) : s.words[w];
        s.words[w] = scaledBack(v, s.exponent);
    }
    return s.words;
}

// Random Q31 words with the extremes among them, so saturation and the product of -1.0 with itself are met.
std::vector<int32_t> q31Block(size_t count, uint32_t seed, int32_t amplitude)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int32_t> u(-amplitude, amplitude);
    std::vector<int32_t> v(count);
    for (int32_t &w : v)
        w = u(gen);
    if (count >= 8) {
        v[1] = INT32_MIN;
        v[2] = INT32_MAX;
        v[5] = INT32_MIN;
    }
    return v;
}

std::vector<int32_t> readWords(GenericWire *w) { return {words(w), words(w) + wordCount(w)}; }
void loadWords(GenericWire *w, const std::vector<int32_t> &v) { std::copy(v.begin(), v.end(), words(w)); }

TEST(FftModules, Fract32FormsFollowTheIntegerModelBitForBit)
{
    constexpr uint32_t channels = 2;
    const int32_t sizes[] = {4, 8, 64, 1024};
    const int32_t amplitudes[] = {INT32_MAX, 1 << 20};
    for (int32_t n : sizes) {
        for (int32_t amplitude : amplitudes) {
            SCOPED_TRACE("N = " + std::to_string(n) + ", amplitude " + std::to_string(amplitude));
            Engine engine;
            GenericWire *scratch = engine.wire(1, 2 * n);
            GenericWire *real = engine.wire(channels, n);
            GenericWire *bins = engine.wire(channels, n + 2);
            GenericWire *back = engine.wire(channels, n);
            GenericWire *values = engine.wire(channels, 2 * n);
            GenericWire *forward = engine.wire(channels, 2 * n);
            GenericWire *inverse = engine.wire(channels, 2 * n);
            const auto scale = static_cast<uint32_t>(INT32_MAX / n * 3);
            ClassModule *fft = engine.build(kFftFract32, real, bins, scratch);
            ClassModule *ifft = engine.build(kIfftFract32, bins, back, scratch, {scale});
            ClassModule *cfft = engine.build(kCfftFract32, values, forward, scratch, {1, scale});
            ClassModule *icfft =
                engine.build(kCfftFract32, values, inverse, scratch, {static_cast<uint32_t>(-1), scale});
            ASSERT_TRUE(fft && ifft && cfft && icfft);
            loadWords(real, q31Block(wordCount(real), 1 + n, amplitude));
            loadWords(values, q31Block(wordCount(values), 2 + n, amplitude));
            run(fft);
            run(ifft);
            run(cfft);
            run(icfft);
            for (uint32_t c = 0; c < channels; ++c) {
                SCOPED_TRACE("channel " + std::to_string(c));
                const std::vector<int32_t> bc = channelOf(readWords(bins), channels, c, 2);
                EXPECT_EQ(bc, modelFft(channelOf(readWords(real), channels, c, 1)));
                EXPECT_EQ(channelOf(readWords(back), channels, c, 1), modelIfft(bc, static_cast<int32_t>(scale)));
                const std::vector<int32_t> vc = channelOf(readWords(values), channels, c, 2);
                EXPECT_EQ(channelOf(readWords(forward), channels, c, 2), modelCfft(vc, false, 0));
                EXPECT_EQ(channelOf(readWords(inverse), channels, c, 2),
                          modelCfft(vc, true, static_cast<int32_t>(scale)));
            }
        }
    }
}

// The kernel halves the data at its stages to keep headroom: its result at block exponent e is exact to about
// N x 2^e units of the last place.
double kernelError(const std::vector<int32_t> &values)
{
    return 2.0 * static_cast<double>(values.size() / 2) * std::ldexp(1.0, blockTransform(values).exponent);
}

// A full-scale constant block has a DFT far beyond the Fract32 range: bin 0 stops at the nearest end of it, and the
// other bins stay near 0.
TEST(FftModules, FftFract32SaturatesASpectrumBeyondFullScale)
{
    const int32_t levels[] = {INT32_MAX, INT32_MIN, 1 << 29};
    for (int32_t level : levels) {
        SCOPED_TRACE("level " + std::to_string(level));
        Engine engine;
        GenericWire *in = engine.wire(1, 16);
        GenericWire *out = engine.wire(1, 18);
        ClassModule *m = engine.build(kFftFract32, in, out, engine.wire(1, 32));
        ASSERT_NE(m, nullptr);
        std::fill(words(in), words(in) + 16, level);
        run(m);
        EXPECT_EQ(words(out)[0], level > 0 ? INT32_MAX : INT32_MIN);
        std::vector<int32_t> values(32, 0);
        for (size_t i = 0; i < 16; ++i)
            values[2 * i] = level;
        const double tol = kernelError(values);
        for (int32_t w = 1; w < 18; ++w)
            EXPECT_NEAR(words(out)[w], 0, tol) << "word " << w;
    }
}

// Against numpy: every word within the kernel's error.
TEST(FftModules, Fract32FormsAreWithinTheirBlockFloatingPointErrorOfNumpy)
{
    const std::vector<int32_t> sizes = {4, 16, 256, 1024};
    kvetest::OracleValues real = modulesReference("fixedreal", 2, sizes);
    kvetest::OracleValues complex = modulesReference("fixed", 2, sizes);
    ASSERT_FALSE(real.empty());
    ASSERT_FALSE(complex.empty());
    for (int32_t n : sizes) {
        SCOPED_TRACE("N = " + std::to_string(n));
        Engine engine;
        GenericWire *scratch = engine.wire(1, 2 * n);
        GenericWire *x = engine.wire(2, n);
        GenericWire *bins = engine.wire(2, n + 2);
        GenericWire *back = engine.wire(2, n);
        GenericWire *z = engine.wire(2, 2 * n);
        GenericWire *spectrum = engine.wire(2, 2 * n);
        const auto inverseScale = static_cast<uint32_t>(1u << (31 - std::countr_zero(static_cast<uint32_t>(n))));
        ClassModule *fft = engine.build(kFftFract32, x, bins, scratch);
        ClassModule *ifft = engine.build(kIfftFract32, bins, back, scratch, {inverseScale});
        ClassModule *cfft = engine.build(kCfftFract32, z, spectrum, scratch, {1, 0});
        ASSERT_TRUE(fft && ifft && cfft);
        const std::vector<double> xIn = real.take(wordCount(x)), xOut = real.take(wordCount(bins));
        const std::vector<double> zIn = complex.take(wordCount(z)), zOut = complex.take(wordCount(spectrum));
        std::vector<int32_t> xq(xIn.begin(), xIn.end()), zq(zIn.begin(), zIn.end());
        loadWords(x, xq);
        loadWords(z, zq);
        run(fft);
        run(ifft);
        run(cfft);
        for (uint32_t c = 0; c < 2; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c));
            std::vector<int32_t> xc = channelOf(xq, 2, c, 1), zc = channelOf(zq, 2, c, 2);
            std::vector<int32_t> work(2 * n, 0);
            for (int32_t i = 0; i < n; ++i)
                work[2 * i] = xc[i];
            const double realError = kernelError(work);
            const std::vector<int32_t> got = channelOf(readWords(bins), 2, c, 2);
            const std::vector<double> want = [&] {
                std::vector<double> v;
                for (size_t w = 2 * c; w < xOut.size(); w += 4)
                    v.insert(v.end(), {xOut[w], xOut[w + 1]});
                return v;
            }();
            EXPECT_TRUE(within(got, want, realError));
            const std::vector<int32_t> gotZ = channelOf(readWords(spectrum), 2, c, 2);
            std::vector<double> wantZ;
            for (size_t w = 2 * c; w < zOut.size(); w += 4)
                wantZ.insert(wantZ.end(), {zOut[w], zOut[w + 1]});
            EXPECT_TRUE(within(gotZ, wantZ, kernelError(zc)));
            // The inverse with scale 1/N gives the block back, within the forward kernel's error carried through, the
            // scale's truncation of each of the N bins and the inverse kernel's own error: about N units each.
            const std::vector<int32_t> y = channelOf(readWords(back), 2, c, 1);
            for (int32_t i = 0; i < n; ++i)
                EXPECT_NEAR(y[i], xc[i], 2.0 * realError + n) << "sample " << i;
        }
    }
}

} // namespace
