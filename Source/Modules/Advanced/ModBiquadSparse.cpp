// BiquadSparse: `numStages` direct-form sections on every channel, each channel and stage with its own filter type
// (0 off, 1 to 20 designed, above 20 the host's own coefficients); a stage that is off on every channel of a pair
// costs no filtering.
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::hp;
using namespace kve::scalers;

// Per channel and stage, index c x numStages + s.
struct BiquadSparseModule {
    ClassModule header;
    int32_t numStages;
    float smoothingTime; // ms
    int32_t updateActive;
    float smoothingCoeff;
    int32_t *filterType;
    float *freq;
    float *gain;
    float *Q;
    float *customCoeffs;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state; // by channel pair, then stage: four words per pair and stage, two for a last odd channel
};

// Filter types up to this one are designed; those above it run the host's custom coefficients.
constexpr int32_t kLastDesignedType = 20;
constexpr float kPassThrough[kSectionWords] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};

// Every array is built from the same count, so the capacity of filterType bounds them all.
constexpr uint32_t kTypeArray = 0;

constexpr std::array<Variable, 12> kVariables = {
    KVE_VARIABLE(BiquadSparseModule, numStages, Int),
    KVE_VARIABLE(BiquadSparseModule, smoothingTime, Float),
    KVE_VARIABLE(BiquadSparseModule, updateActive, Int),
    KVE_VARIABLE(BiquadSparseModule, smoothingCoeff, Float),
    // Every array holds numStages entries (sets, state words) per channel; the constructor sets the lengths from the
    // input wire.
    KVE_ARRAY(BiquadSparseModule, filterType, IntArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, freq, FloatArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, gain, FloatArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, Q, FloatArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, customCoeffs, FloatArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, targetCoeffs, FloatArray, perArgument(0)),
    KVE_ARRAY(BiquadSparseModule, currentCoeffs, FloatArray, perArgument(0)),
    KVE_ARRAY_IN(BiquadSparseModule, state, FloatArray, perArgument(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *biquadSparseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    if (!stagesArgumentValid(status, argc, args, 4, 0) || !requireWires(status, wireWord, 1, 1))
        return nullptr;
    auto variables = kVariables;
    for (uint32_t k = 4; k < 8; ++k)
        variables = kve::tone::withStageState(variables, k, 0, 1, wires);
    for (uint32_t k = 8; k < 11; ++k)
        variables = kve::tone::withStageState(variables, k, 0, kSectionWords, wires);
    variables = kve::tone::withStageState(variables, 11, 0, kSectionStateWords, wires);
    return construct(kve_modBiquadSparseClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The stages that run and the channels they serve: the written stage count held to what was built, and as many
// channels as keep every per-stage index c x stages + s inside the arrays.
struct Extent {
    uint32_t stages;
    uint32_t served;
};

Extent extentOf(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadSparseModule *>(m);
    const uint32_t entries = capacity(m, kTypeArray);
    const uint32_t ch = channels(wire(m, 0));
    const uint32_t stages = clampedCount(s->numStages, ch == 0 ? 0 : entries / ch);
    return {stages, stages == 0 ? 0 : servedChannels(ch, entries / stages)};
}

// One smoothing step of channel and stage `at` toward its design or its custom set; true when the stage passes the
// channel through untouched (off, or custom coefficients of exactly 1, 0, 0, 0, 0).
bool glideStage(BiquadSparseModule *s, uint32_t at)
{
    float *current = s->currentCoeffs + kSectionWords * at;
    if (s->filterType[at] <= kLastDesignedType) {
        glideCoefficients(current, s->targetCoeffs + kSectionWords * at, s->smoothingCoeff, kSectionWords);
        return s->filterType[at] == 0;
    }
    const float *custom = s->customCoeffs + kSectionWords * at;
    glideCoefficients(current, custom, s->smoothingCoeff, kSectionWords);
    return std::equal(custom, custom + kSectionWords, kPassThrough);
}

void biquadSparseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BiquadSparseModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const auto [stages, served] = extentOf(m);
    const auto inc = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    // Channels c and c + 1 (or c alone for a last odd channel): stage 0 reads the input, every later stage the
    // output in place.
    for (uint32_t c = 0; c < served; c += 2) {
        const uint32_t width = std::min(2u, served - c);
        float *state = s->state + kSectionStateWords * stages * c;
        float *dst = samples(out) + c;
        for (uint32_t k = 0; k < stages; ++k, state += kSectionStateWords * width) {
            const float *src = (k == 0 ? samples(in) : samples(out)) + c;
            const uint32_t first = c * stages + k;
            const uint32_t second = (c + width - 1) * stages + k;
            if (s->updateActive != 0) {
                // Both channels glide, whether or not the stage then runs.
                const bool firstPasses = glideStage(s, first);
                const bool secondPasses = width == 1 || glideStage(s, second);
                if (firstPasses && secondPasses) {
                    if (k == 0)
                        for (uint32_t j = 0; j < width; ++j)
                            kve_vecCopy32(src + j, inc, dst + j, inc, n);
                    continue;
                }
            }
            const float *coeffs = s->currentCoeffs + kSectionWords * first;
            if (width == 2)
                kve_vecBiquadNCascade_2ch(src, inc, dst, inc, coeffs, s->currentCoeffs + kSectionWords * second,
                                          state, 1, n);
            else
                kve_vecBiquad(src, inc, dst, inc, coeffs, state, n);
        }
    }
}

int32_t biquadSparseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<BiquadSparseModule *>(m);
    const GenericWire *in = wire(m, 0);
    s->updateActive = 0;
    s->smoothingCoeff = blockSmoother(s->smoothingTime, in);
    const auto [stages, served] = extentOf(m);
    for (uint32_t at = 0; at < served * stages; ++at)
        if (s->filterType[at] <= kLastDesignedType)
            design_second_order_filter(s->filterType[at], s->targetCoeffs + kSectionWords * at, in->sampleRate,
                                       s->freq[at], s->gain[at], s->Q[at]);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<12> kve_modBiquadSparseClass = makeClass<12>(
    0xBEEF0D56u, {biquadSparseConstructor, biquadSparseProcess, IOMatchUpModule_Bypass, biquadSparseSet},
    kVariables);
