// The one-reference subband echo cancellers: the estimator against an independent model of its equations on random
// subband data, the edges of the estimator and the post-filter table, the wiring they refuse, and an echo cancelled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/SbEchoCancellers.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;

inline const ModClassDescriptor *const kCancellerTable[] = {
    &kve_modSbAECV1Class.record,
    &kve_modSbAECV2Class.record,
    &kve_modSbAECV3Class.record,
};

enum Variant { V1, V2, V3 };

constexpr uint32_t kClassIds[] = {0xBEEF429Au, 0xBEEF429Du, 0xBEEF429Eu};
// Public variables per variant, where the table size sits, and where the arrays begin.
constexpr uint32_t kPublic[] = {11, 12, 12};
constexpr uint32_t kTablePointsVariable[] = {9, 10, 10};
enum Array { Taps, TapVariance, RefHistory, PredictedVariance, PredictedTaps, RefPowerHistory, TapGain, PostGain,
             PostTable, PostSegments };
constexpr uint32_t kIterationsVariable = 6;
constexpr uint32_t kHistoryIndexVariable = 9; // the freeze-pin form only
// Member index of variable k.
constexpr uint32_t kMemberBase = 8;

using Complexf = std::complex<float>;

// A canceller as a layout describes it; `extra` is the freeze-pin flag (V2) or the variance floor (V3).
struct Config {
    Variant variant = V1;
    uint32_t subbands = 8;
    int32_t maxTaps = 4;
    int32_t numTaps = 4;
    float noiseScale = 1.0f;
    float timeConstant = 0.01f;
    int32_t iterations = 2;
    int32_t postFilter = 0;
    float extra = 0.0f;
    int32_t tablePoints = 0;
};

class SbEchoCanceller : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kCancellerTable;
        engine_->classCount = sizeof kCancellerTable / sizeof kCancellerTable[0];
    }

    std::vector<uint32_t> arguments(const Config &c)
    {
        std::vector<uint32_t> a = {static_cast<uint32_t>(c.maxTaps), static_cast<uint32_t>(c.numTaps),
                                   bitsOf(c.noiseScale),    bitsOf(c.timeConstant), bitsOf(0.0f), bitsOf(0.0f),
                                   static_cast<uint32_t>(c.iterations), static_cast<uint32_t>(c.postFilter)};
        if (c.variant == V1)
            a.insert(a.end(), {0u, static_cast<uint32_t>(c.tablePoints), 0u});
        else if (c.variant == V2)
            a.insert(a.end(), {static_cast<uint32_t>(c.extra), 0u, static_cast<uint32_t>(c.tablePoints), 0u});
        else
            a.insert(a.end(), {bitsOf(c.extra), 0u, static_cast<uint32_t>(c.tablePoints), 0u});
        return a;
    }

    // Builds the canceller on fresh wires: microphone, reference, (freeze,) output.
    ClassModule *build(const Config &c, int32_t *status = nullptr)
    {
        mic_ = engine_.wire(1, 2 * c.subbands);
        ref_ = engine_.wire(1, 2 * c.subbands);
        out_ = engine_.wire(1, 2 * c.subbands);
        freeze_ = engine_.wire(1, 1);
        std::vector<GenericWire *> wires = {mic_, ref_, out_};
        uint32_t inputs = 2;
        if (c.variant == V2 && c.extra == 1.0f) {
            wires = {mic_, ref_, freeze_, out_};
            inputs = 3;
        }
        return construct(c, inputs, wires, status);
    }

    ClassModule *construct(const Config &c, uint32_t inputs, std::vector<GenericWire *> wires, int32_t *status)
    {
        int32_t local = KVE_OK;
        int32_t *s = status != nullptr ? status : &local;
        std::vector<uint32_t> a = arguments(c);
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kClassIds[c.variant], s, inputs | (1u << 8),
                                                  wires.data(), static_cast<uint32_t>(a.size()), a.data());
        if (status == nullptr) {
            EXPECT_EQ(local, KVE_OK);
        }
        return m;
    }

    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static float *array(ClassModule *m, Variant v, Array a) { return kvetest::privateArray<float>(m, kPublic[v] + a); }
    template <class T = float> static T &var(ClassModule *m, uint32_t k) { return kvetest::variable<T>(m, k); }
    static std::vector<float> words(GenericWire *w)
    {
        return {data(w), data(w) + kve::kit::wireWords(w)};
    }

    // Fresh random microphone and reference blocks.
    void randomBlock()
    {
        std::normal_distribution<float> normal;
        for (GenericWire *w : {mic_, ref_})
            for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i)
                data(w)[i] = normal(rng_);
    }
    // A second canceller on the same microphone and reference wires, writing its own output wire `twinOut_`.
    ClassModule *twin(const Config &c)
    {
        twinOut_ = engine_.wire(1, 2 * c.subbands);
        return construct(c, 2, {mic_, ref_, twinOut_}, nullptr);
    }
    // One block of fresh random data through a canceller and its twin.
    void runBoth(ClassModule *m, ClassModule *other)
    {
        randomBlock();
        pump(m);
        pump(other);
    }
    // Runs `blocks` blocks of fresh random data.
    void run(ClassModule *m, int blocks)
    {
        for (int b = 0; b < blocks; ++b) {
            randomBlock();
            pump(m);
        }
    }

    kvetest::TestEngine engine_;
    std::mt19937 rng_{7};
    GenericWire *mic_ = nullptr;
    GenericWire *ref_ = nullptr;
    GenericWire *out_ = nullptr;
    GenericWire *freeze_ = nullptr;
    GenericWire *twinOut_ = nullptr;
};

// |a - b| / |b| over a run of floats, b from the model.
double relativeError(const float *a, const double *b, size_t n)
{
    double diff = 0.0;
    double norm = 0.0;
    for (size_t i = 0; i < n; ++i) {
        diff += (a[i] - b[i]) * (a[i] - b[i]);
        norm += b[i] * b[i];
    }
    return std::sqrt(diff / norm);
}

// Random subband blocks (an echo of the reference through a short path plus near-end noise) through the canceller
// and through the model of its equations: the output of every block and the final taps and variances agree within
// 1e-5, on the four-tap and the single-tap paths, with the variance floor, and across a frozen stretch; so do the
// post-filter gains of the last block.
TEST_F(SbEchoCanceller, FollowsTheModelOfItsEquations)
{
    struct Case {
        Variant variant;
        int32_t maxTaps, numTaps, iterations;
        float extra;
        int freezeFrom, freezeTo;
    };
    const Case cases[] = {
        {V1, 4, 4, 2, 0.0f, 0, 0},   {V1, 8, 8, 3, 0.0f, 0, 0},   {V1, 5, 3, 2, 0.0f, 0, 0},
        {V3, 8, 8, 2, 0.05f, 0, 0},  {V3, 6, 3, 2, 0.05f, 0, 0},  {V2, 5, 3, 2, 0.0f, 0, 0},
        {V2, 4, 4, 2, 1.0f, 10, 20}, {V1, 4, 4, 1, 0.0f, 0, 0},   {V3, 4, 4, 2, 0.0f, 0, 0},
    };
    constexpr uint32_t kBlocks = 40;
    constexpr uint32_t kSub = 8;
    int seed = 1;
    for (const Case &k : cases) {
        Config c;
        c.variant = k.variant;
        c.subbands = kSub;
        c.maxTaps = k.maxTaps;
        c.numTaps = k.numTaps;
        c.iterations = k.iterations;
        c.extra = k.extra;
        c.postFilter = 1; // without a table: the post-filter gains stay readable and the output unscaled
        ClassModule *m = build(c);
        ASSERT_NE(m, nullptr);
        const float alpha = var(m, 4);
        ASSERT_NEAR(alpha, std::exp(-1.0 / (0.01 * 48000.0)), 1e-7);
        const std::string floor = k.variant == V3 ? kvetest::oracleArg(k.extra) : "none";
        const std::vector<double> model = kvetest::runOracle(
            "subband_aec.py", {std::to_string(kBlocks), std::to_string(kSub), std::to_string(k.numTaps),
                               std::to_string(k.iterations), kvetest::oracleArg(c.noiseScale),
                               kvetest::oracleArg(alpha), floor, std::to_string(k.freezeFrom),
                               std::to_string(k.freezeTo), std::to_string(seed++)});
        const size_t blockWords = 2 * kSub;
        const size_t taps = static_cast<size_t>(k.numTaps);
        ASSERT_EQ(model.size(), 3 * kBlocks * blockWords + 3 * kSub * taps + kSub);
        const double *mic = model.data();
        const double *ref = mic + kBlocks * blockWords;
        const double *out = ref + kBlocks * blockWords;
        const double *modelTaps = out + kBlocks * blockWords;
        const double *modelVariances = modelTaps + 2 * kSub * taps;
        const double *modelPostGains = modelVariances + kSub * taps;
        for (uint32_t b = 0; b < kBlocks; ++b) {
            for (size_t i = 0; i < blockWords; ++i) {
                data(mic_)[i] = static_cast<float>(mic[b * blockWords + i]);
                data(ref_)[i] = static_cast<float>(ref[b * blockWords + i]);
            }
            const int32_t frozen = static_cast<int>(b) >= k.freezeFrom && static_cast<int>(b) < k.freezeTo;
            std::memcpy(freeze_->buffer, &frozen, sizeof frozen);
            pump(m);
            ASSERT_LT(relativeError(data(out_), out + b * blockWords, blockWords), 1e-5)
                << "variant " << k.variant << " taps " << k.numTaps << " block " << b;
        }
        std::vector<float> w;
        std::vector<float> p;
        for (uint32_t s = 0; s < kSub; ++s) {
            const float *subbandTaps = array(m, c.variant, Taps) + 2 * s * static_cast<uint32_t>(k.maxTaps);
            const float *subbandVariances = array(m, c.variant, TapVariance) + s * static_cast<uint32_t>(k.maxTaps);
            w.insert(w.end(), subbandTaps, subbandTaps + 2 * taps);
            p.insert(p.end(), subbandVariances, subbandVariances + taps);
        }
        EXPECT_LT(relativeError(w.data(), modelTaps, w.size()), 1e-5) << "variant " << k.variant;
        EXPECT_LT(relativeError(p.data(), modelVariances, p.size()), 1e-5) << "variant " << k.variant;
        EXPECT_LT(relativeError(array(m, c.variant, PostGain), modelPostGains, kSub), 1e-5) << "variant " << k.variant;
    }
}

// Without taps the microphone passes untouched, no history is kept (the circular form's slot stays 0) and every
// post-filter gain is 1; a fresh canceller (all taps 0) passes its first block untouched too.
TEST_F(SbEchoCanceller, PassesTheMicrophoneWithoutTapsOrBeforeAdapting)
{
    for (Variant v : {V1, V2, V3}) {
        for (int32_t taps : {0, 4}) {
            Config c;
            c.variant = v;
            c.numTaps = taps;
            c.postFilter = 1;
            ClassModule *m = build(c);
            ASSERT_NE(m, nullptr);
            if (v == V2)
                var<int32_t>(m, kHistoryIndexVariable) = 3;
            for (int b = 0; b < (taps == 0 ? 3 : 1); ++b) {
                randomBlock();
                pump(m);
                EXPECT_EQ(words(out_), words(mic_)) << "variant " << v << " taps " << taps << " block " << b;
            }
            if (taps == 0) {
                for (uint32_t k = 0; k < c.subbands; ++k)
                    EXPECT_EQ(array(m, v, PostGain)[k], 1.0f) << "variant " << v << " subband " << k;
                for (uint32_t i = 0; i < 2 * 4 * c.subbands; ++i)
                    ASSERT_EQ(array(m, v, RefHistory)[i], 0.0f) << "variant " << v << " no history is kept";
                if (v == V2) {
                    EXPECT_EQ(var<int32_t>(m, kHistoryIndexVariable), 0);
                }
            }
        }
    }
}

// With no refinement pass (0 or fewer) the taps only decay by alpha and the variances by alpha^2 per block; the
// variances start at 1, so a fresh canceller's stand at alpha^2n after n blocks.
TEST_F(SbEchoCanceller, WithoutPassesTheTapsAndVariancesOnlyDecay)
{
    for (Variant v : {V1, V2, V3}) {
        for (int32_t passes : {0, -3}) {
            Config c;
            c.variant = v;
            c.iterations = passes;
            ClassModule *fresh = build(c);
            run(fresh, 3);
            const float a = var(fresh, 4);
            const float a2 = a * a;
            for (uint32_t i = 0; i < c.subbands * 4; ++i)
                ASSERT_EQ(array(fresh, v, TapVariance)[i], a2 * (a2 * (a2 * 1.0f))) << "variant " << v;
            EXPECT_EQ(words(out_), words(mic_)) << "taps that start at 0 stay there";

            c.iterations = 2;
            ClassModule *adapted = build(c);
            run(adapted, 10);
            var<int32_t>(adapted, kIterationsVariable) = passes;
            const std::vector<float> w(array(adapted, v, Taps), array(adapted, v, Taps) + 2 * 4 * c.subbands);
            const std::vector<float> p(array(adapted, v, TapVariance), array(adapted, v, TapVariance) + 4 * c.subbands);
            run(adapted, 1);
            for (size_t i = 0; i < w.size(); ++i)
                ASSERT_EQ(array(adapted, v, Taps)[i], a * w[i]) << "variant " << v << " word " << i;
            for (size_t i = 0; i < p.size(); ++i)
                ASSERT_EQ(array(adapted, v, TapVariance)[i], a2 * p[i]) << "variant " << v << " tap " << i;
        }
    }
}

// A pass count a host writes is held to 16 passes a block: a canceller asked for 2^31 passes gives the words of one
// asked for 16, and the block ends.
TEST_F(SbEchoCanceller, PassesAreHeldToSixteenABlock)
{
    for (Variant v : {V1, V2, V3}) {
        Config c;
        c.variant = v;
        c.iterations = 16;
        ClassModule *held = build(c);
        ClassModule *asked = twin(c);
        var<int32_t>(asked, kIterationsVariable) = INT32_MAX;
        for (int block = 0; block < 3; ++block) {
            runBoth(held, asked);
            ASSERT_EQ(words(twinOut_), words(out_)) << "variant " << v << " block " << block;
        }
    }
}

// While the freeze word is non-zero the taps and variances keep every bit, while the output still follows the
// microphone and reference; a zero word lets the canceller adapt again.
TEST_F(SbEchoCanceller, FreezeHoldsTheEstimatorBitForBit)
{
    Config c;
    c.variant = V2;
    c.extra = 1.0f;
    ClassModule *m = build(c);
    ASSERT_NE(m, nullptr);
    run(m, 5);
    const auto state = [&] {
        std::vector<float> s(array(m, V2, Taps), array(m, V2, Taps) + 2 * 4 * c.subbands);
        s.insert(s.end(), array(m, V2, TapVariance), array(m, V2, TapVariance) + 4 * c.subbands);
        return s;
    };
    const std::vector<float> held = state();
    static_cast<int32_t *>(freeze_->buffer)[0] = -1;
    std::vector<float> previous;
    for (int b = 0; b < 4; ++b) {
        run(m, 1);
        EXPECT_EQ(state(), held) << b;
        EXPECT_NE(words(out_), previous) << b;
        EXPECT_NE(words(out_), words(mic_)) << "the held taps still cancel";
        previous = words(out_);
    }
    static_cast<int32_t *>(freeze_->buffer)[0] = 0;
    run(m, 1);
    EXPECT_NE(state(), held);
}

// The variance floor at 0 changes nothing: V3 gives V1's words.
TEST_F(SbEchoCanceller, AZeroVarianceFloorIsTheBaseForm)
{
    for (int32_t taps : {4, 3}) {
        Config c;
        c.numTaps = taps;
        ClassModule *base = build(c);
        c.variant = V3;
        ClassModule *floored = twin(c);
        for (int b = 0; b < 12; ++b) {
            runBoth(base, floored);
            ASSERT_EQ(words(twinOut_), words(out_)) << "taps " << taps << " block " << b;
        }
    }
}

// A host that writes sizes beyond what was built: more taps than `maxTaps` run as `maxTaps`, a longer table as the
// table built, and a history slot outside the taps is wrapped into them.
TEST_F(SbEchoCanceller, SizesAHostWritesAreHeldToWhatWasBuilt)
{
    for (Variant v : {V1, V2, V3}) {
        Config c;
        c.variant = v;
        c.postFilter = 1;
        c.tablePoints = 2;
        ClassModule *built = build(c);
        ClassModule *written = twin(c);
        for (ClassModule *m : {built, written}) {
            float *table = array(m, v, PostTable);
            const float points[] = {-40.0f, -20.0f, 0.0f, 0.0f};
            std::memcpy(table, points, sizeof points);
        }
        var<int32_t>(written, 1) = 1000;
        var<int32_t>(written, kTablePointsVariable[v]) = 1000;
        if (v == V2)
            var<int32_t>(written, kHistoryIndexVariable) = -7; // slot 1 of 4 taps, as a fresh canceller's next slot
        ASSERT_EQ(ClassModule_Set(built, 0xFFFFFFFFu), 0);
        ASSERT_EQ(ClassModule_Set(written, 0xFFFFFFFFu), 0);
        if (v == V2)
            var<int32_t>(built, kHistoryIndexVariable) = 1;
        for (int b = 0; b < 8; ++b) {
            runBoth(built, written);
            ASSERT_EQ(words(twinOut_), words(out_)) << "variant " << v << " block " << b;
        }
        if (v == V2) {
            EXPECT_EQ(var<int32_t>(written, kHistoryIndexVariable), var<int32_t>(built, kHistoryIndexVariable));
        }
    }
}

// Wiring the cancellers cannot serve is refused before anything runs.
TEST_F(SbEchoCanceller, RefusesWiringItCannotServe)
{
    struct Case {
        const char *what;
        Variant variant;
        uint32_t refBlock, outBlock, outChannels;
        int32_t freezePin;
        uint32_t inputs;
        int32_t status;
    };
    const Case cases[] = {
        {"a reference of another block size", V1, 8, 16, 1, 0, 2, KVE_E_BAD_ARGUMENT},
        {"an output of another block size", V3, 16, 18, 1, 0, 2, KVE_E_BAD_ARGUMENT},
        {"an output without channels", V2, 16, 16, 0, 0, 2, KVE_E_BAD_ARGUMENT},
        {"a freeze pin with two inputs", V2, 16, 16, 1, 1, 2, KVE_E_ARG_COUNT},
        {"one input", V1, 16, 16, 1, 0, 1, KVE_E_ARG_COUNT},
        {"a freeze pin wired", V2, 16, 16, 1, 1, 3, KVE_OK},
    };
    for (const Case &k : cases) {
        Config c;
        c.variant = k.variant;
        c.extra = static_cast<float>(k.freezePin);
        GenericWire *mic = engine_.wire(1, 16);
        GenericWire *ref = engine_.wire(1, k.refBlock);
        GenericWire *out = engine_.wire(k.outChannels, k.outBlock);
        std::vector<GenericWire *> wires = {mic, ref, out};
        if (k.inputs == 3)
            wires = {mic, ref, engine_.wire(1, 1), out};
        if (k.inputs == 1)
            wires = {mic, out};
        int32_t status = KVE_OK;
        ClassModule *m = construct(c, k.inputs, wires, &status);
        EXPECT_EQ(status, k.status) << k.what;
        EXPECT_EQ(m != nullptr, k.status == KVE_OK) << k.what;
    }
}

// A bypassed canceller passes the microphone to its output.
TEST_F(SbEchoCanceller, BypassPassesTheMicrophone)
{
    for (Variant v : {V1, V2, V3}) {
        Config c;
        c.variant = v;
        ClassModule *m = build(c);
        run(m, 4);
        ASSERT_EQ(kve_fwSetModuleState(m, 1), KVE_OK);
        run(m, 1);
        EXPECT_EQ(words(out_), words(mic_)) << "variant " << v;
    }
}

// Set opens a tie of two equal x values in the post-filter table (the first point moves down, the last up, an inner
// one a hundredth of the way toward its left neighbour) and the host reads the opened table back. Segments are
// straight lines, each built from the table as it stands when its turn comes: an inner point moved later leaves
// the segment before it as it was.
TEST_F(SbEchoCanceller, SetOpensTableTiesTheHostReadsBack)
{
    struct Case {
        std::vector<float> x;
        std::vector<float> opened;
        std::vector<float> slopes; // of y = 0, -3, -6, ...
    };
    const Case cases[] = {
        {{-30.0f, -30.0f, -10.0f, -10.0f}, {-30.3f, -30.0f, -10.0f, -9.9f}, {-10.0f, -0.15f, -30.0f}},
        {{-40.0f, -20.0f, -20.0f, -5.0f, 0.0f}, {-40.0f, -20.2f, -20.0f, -5.0f, 0.0f}, {-0.15f, -15.0f, -0.2f, -0.6f}},
        {{0.0f, 0.0f}, {-0.01f, 0.0f}, {-300.0f}},
        {{-6.0f, 0.0f, 0.0f}, {-6.0f, 0.0f, 0.01f}, {-0.5f, -300.0f}},
    };
    for (Variant v : {V1, V2, V3}) {
        for (const Case &k : cases) {
            Config c;
            c.variant = v;
            c.tablePoints = static_cast<int32_t>(k.x.size());
            ClassModule *m = build(c);
            ASSERT_NE(m, nullptr);
            const uint32_t table = KVE_MEMBER_ADDRESS(m->objectId, kMemberBase + kPublic[v] + PostTable) |
                                   KVE_MEMBER_DEREF;
            for (size_t i = 0; i < k.x.size(); ++i) {
                const float y = -3.0f * static_cast<float>(i);
                ASSERT_EQ(kve_fwSetValue(engine_.get(), table, bitsOf(k.x[i]), static_cast<uint32_t>(2 * i), 0),
                          KVE_OK);
                ASSERT_EQ(kve_fwSetValue(engine_.get(), table, bitsOf(y), static_cast<uint32_t>(2 * i + 1), 0),
                          KVE_OK);
            }
            ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), 0);
            std::vector<uint32_t> read(2 * k.x.size());
            ASSERT_EQ(kve_fwFetchValues(engine_.get(), table, 0, static_cast<uint32_t>(read.size()), read.data()),
                      KVE_OK);
            const float *segments = array(m, v, PostSegments);
            for (size_t i = 0; i < k.x.size(); ++i) {
                EXPECT_NEAR(kvetest::floatOf(read[2 * i]), k.opened[i], 1e-5f) << "variant " << v << " point " << i;
                if (i < k.slopes.size()) {
                    EXPECT_NEAR(segments[4 * i + 2], k.slopes[i], 1e-4f * std::abs(k.slopes[i])) << "segment " << i;
                    EXPECT_EQ(segments[4 * i + 3], -3.0f * static_cast<float>(i));
                    EXPECT_EQ(segments[4 * i], 0.0f);
                    EXPECT_EQ(segments[4 * i + 1], 0.0f);
                }
            }
        }
    }
}

// The post-filter takes each subband's gain g to dB, through the table's straight lines (ends held), back to linear
// and into the output: against twins without a table, which leave g readable and the output unscaled. The dB
// conversions are the library's approximate ones (0.4 %).
TEST_F(SbEchoCanceller, PostFilterScalesTheOutputByTheMappedGain)
{
    const std::vector<std::pair<float, float>> points = {
        {-12.0f, -30.0f}, {-3.0f, -9.0f}, {-1.0f, -1.0f}, {0.0f, 0.0f}};
    const auto mapped = [&](double g) {
        const double db = 20.0 * std::log10(std::max(g, 1e-38));
        double y = points.front().second;
        for (size_t i = 0; i + 1 < points.size(); ++i)
            if (db > points[i].first)
                y = points[i].second + (std::min<double>(db, points[i + 1].first) - points[i].first) *
                                           (points[i + 1].second - points[i].second) /
                                           (points[i + 1].first - points[i].first);
        return std::pow(10.0, y / 20.0);
    };
    for (Variant v : {V1, V2, V3}) {
        Config c;
        c.variant = v;
        c.postFilter = 1;
        c.noiseScale = 0.1f; // large gains, so the table's lower segments are reached too
        ClassModule *plain = build(c);
        c.tablePoints = static_cast<int32_t>(points.size());
        ClassModule *m = twin(c);
        for (size_t i = 0; i < points.size(); ++i) {
            array(m, v, PostTable)[2 * i] = points[i].first;
            array(m, v, PostTable)[2 * i + 1] = points[i].second;
        }
        ASSERT_EQ(ClassModule_Set(m, 0xFFFFFFFFu), 0);
        double lowest = 1.0;
        for (int b = 0; b < 6; ++b) {
            runBoth(plain, m);
            for (uint32_t k = 0; k < c.subbands; ++k) {
                const double g = array(plain, v, PostGain)[k];
                lowest = std::min(lowest, g);
                const double expected = mapped(g);
                EXPECT_NEAR(array(m, v, PostGain)[k] / expected, 1.0, 0.005) << "variant " << v << " g " << g;
                for (uint32_t part = 0; part < 2; ++part)
                    EXPECT_NEAR(data(twinOut_)[2 * k + part], expected * data(out_)[2 * k + part],
                                0.005 * std::abs(expected * data(out_)[2 * k + part]) + 1e-7);
            }
        }
        EXPECT_LT(lowest, std::pow(10.0, -3.0 / 20.0)) << "the run reaches below the table's middle point";
    }
}

// An echo (the reference through a random path of three taps per subband) is cancelled by 20 dB or more within a
// few hundred blocks by every form. The variances start at 1: from 0 the gains, and so the taps, would stay 0.
TEST_F(SbEchoCanceller, CancelsASyntheticEcho)
{
    constexpr int kBlocks = 300;
    struct Case {
        Variant variant;
        bool zeroVariances;
    };
    for (const Case &k : {Case{V1, false}, Case{V2, false}, Case{V3, false}, Case{V1, true}}) {
        const Variant v = k.variant;
        Config c;
        c.variant = v;
        c.subbands = 16;
        c.extra = v == V3 ? 1e-6f : 0.0f;
        c.timeConstant = 1.0f;
        ClassModule *m = build(c);
        ASSERT_NE(m, nullptr);
        if (k.zeroVariances)
            std::fill_n(array(m, v, TapVariance), 4 * c.subbands, 0.0f);
        std::normal_distribution<float> normal;
        std::vector<Complexf> path(3 * c.subbands);
        for (Complexf &h : path)
            h = {0.5f * normal(rng_), 0.5f * normal(rng_)};
        std::vector<std::vector<Complexf>> history(3, std::vector<Complexf>(c.subbands));
        double micPower = 0.0;
        double outPower = 0.0;
        for (int b = 0; b < kBlocks; ++b) {
            history.pop_back();
            history.insert(history.begin(), std::vector<Complexf>(c.subbands));
            for (uint32_t k = 0; k < c.subbands; ++k) {
                history[0][k] = {normal(rng_), normal(rng_)};
                Complexf echo = 0.0f;
                for (uint32_t i = 0; i < 3; ++i)
                    echo += path[3 * k + i] * history[i][k];
                data(ref_)[2 * k] = history[0][k].real();
                data(ref_)[2 * k + 1] = history[0][k].imag();
                data(mic_)[2 * k] = echo.real() + 1e-3f * normal(rng_);
                data(mic_)[2 * k + 1] = echo.imag() + 1e-3f * normal(rng_);
            }
            pump(m);
            if (b >= kBlocks - 50) {
                for (uint32_t i = 0; i < 2 * c.subbands; ++i) {
                    micPower += data(mic_)[i] * data(mic_)[i];
                    outPower += data(out_)[i] * data(out_)[i];
                }
            }
        }
        const double erle = 10.0 * std::log10(micPower / outPower);
        EXPECT_GT(erle, k.zeroVariances ? -0.1 : 20.0) << "variant " << v << " from zero " << k.zeroVariances;
        EXPECT_LT(erle, k.zeroVariances ? 0.1 : 200.0) << "variant " << v << " from zero " << k.zeroVariances;
    }
}

} // namespace
