// The one-reference subband echo cancellers: the estimator against an independent model of its equations on random
// subband data, the edges of the estimator and the post-filter table, the wiring they refuse, and an echo cancelled.
#include <gtest/gtest.h>

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

    kvetest::TestEngine engine_;
    GenericWire *mic_ = nullptr;
    GenericWire *ref_ = nullptr;
    GenericWire *out_ = nullptr;
    GenericWire *freeze_ = nullptr;
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

} // namespace
