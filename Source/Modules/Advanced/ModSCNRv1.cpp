// SCNRv1: per subband, a suppression gain read from a fixed table of the a-posteriori and a-priori signal-to-noise
// ratios against a tracked noise floor, smoothed over time, held above a floor and applied to the complex sample.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/SbNoiseReducer.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using kve::noise::SCNRv1Module;

constexpr std::array<Variable, 20> kVariables = {
    KVE_VARIABLE(SCNRv1Module, minGainDb, Float),
    KVE_VARIABLE(SCNRv1Module, noiseOverEstimate, Float),
    KVE_VARIABLE(SCNRv1Module, minGain, Float),
    KVE_VARIABLE(SCNRv1Module, noiseRiseTime, Float),
    KVE_VARIABLE(SCNRv1Module, noiseRiseCoeff, Float),
    KVE_VARIABLE(SCNRv1Module, powerCutoff, Float),
    KVE_VARIABLE(SCNRv1Module, powerB0, Float),
    KVE_VARIABLE(SCNRv1Module, powerB1, Float),
    KVE_VARIABLE(SCNRv1Module, powerA1, Float),
    KVE_VARIABLE(SCNRv1Module, gainCutoff, Float),
    KVE_VARIABLE(SCNRv1Module, gainB0, Float),
    KVE_VARIABLE(SCNRv1Module, gainB1, Float),
    KVE_VARIABLE(SCNRv1Module, gainA1, Float),
    KVE_VARIABLE(SCNRv1Module, priorTime, Float),
    KVE_VARIABLE(SCNRv1Module, priorCoeff, Float),
    KVE_ARRAY_IN(SCNRv1Module, powerState, FloatArray, fixedLength(0), 0x231),
    KVE_ARRAY_IN(SCNRv1Module, outPowerState, FloatArray, fixedLength(0), 0x231),
    KVE_ARRAY_IN(SCNRv1Module, gainState, FloatArray, fixedLength(0), 0x231),
    KVE_ARRAY_IN(SCNRv1Module, noiseFloor, FloatArray, fixedLength(0), 0x231),
    KVE_ARRAY_IN(SCNRv1Module, outPower, FloatArray, fixedLength(0), 0x231),
};
constexpr uint32_t kFirstArray = 15;
constexpr uint32_t kArrays = 5;

// Suppression gain by a-priori ratio (row, 0..9 over 0..1) and a-posteriori ratio (column, 0..9 over 0.04..30).
constexpr float kGainTable[100] = {
    0.23835f, 0.35461f, 0.4557f,  0.55078f, 0.64309f, 0.73416f, 0.82476f, 0.91536f, 1.0062f,  1.0975f,
    0.18066f, 0.27959f, 0.37159f, 0.46221f, 0.5531f,  0.64484f, 0.73758f, 0.83133f, 0.92602f, 1.0215f,
    0.15539f, 0.24879f, 0.33944f, 0.43088f, 0.52377f, 0.6181f,  0.71369f, 0.8103f,  0.90772f, 1.0058f,
    0.14091f, 0.23232f, 0.32354f, 0.41662f, 0.51154f, 0.60793f, 0.70541f, 0.80367f, 0.90249f, 1.0017f,
    0.13151f, 0.22238f, 0.3147f,  0.40936f, 0.50587f, 0.60364f, 0.70224f, 0.80137f, 0.90084f, 1.0005f,
    0.12494f, 0.21595f, 0.30945f, 0.40543f, 0.50307f, 0.60172f, 0.70096f, 0.80053f, 0.90029f, 1.0002f,
    0.12013f, 0.2116f,  0.3062f,  0.40321f, 0.50164f, 0.60083f, 0.70042f, 0.80021f, 0.9001f,  1.0001f,
    0.11648f, 0.20856f, 0.30413f, 0.40193f, 0.50089f, 0.60041f, 0.70018f, 0.80008f, 0.90004f, 1.0f,
    0.11364f, 0.20639f, 0.30278f, 0.40117f, 0.50049f, 0.6002f,  0.70008f, 0.80003f, 0.90001f, 1.0f,
    0.11139f, 0.20481f, 0.30189f, 0.40072f, 0.50027f, 0.6001f,  0.70004f, 0.80003f, 0.90001f, 1.0f,
};

// Table coordinates stop short of 9, so the interpolation never reads past the last row or column.
constexpr float kLastCell = 8.9991f;
// Keeps the a-posteriori ratio finite when the noise floor is zero.
constexpr float kNoiseFloorBias = 3e-10f;

// Holds x to [lo, hi]; a NaN (a zero noise term over zero power) goes to lo, so it never reaches an index.
float hold(float x, float lo, float hi) { return x > lo ? std::min(x, hi) : lo; }

// The gain of the table at (u, v), both in [0, kLastCell], by bilinear interpolation.
float tableGain(float u, float v)
{
    const auto iu = static_cast<int32_t>(u);
    const auto iv = static_cast<int32_t>(v);
    const float fu = u - static_cast<float>(iu);
    const float fv = v - static_cast<float>(iv);
    const float *t = kGainTable + 10 * iv + iu;
    return (1.0f - fu) * ((1.0f - fv) * t[0] + fv * t[10]) + fu * ((1.0f - fv) * t[1] + fv * t[11]);
}

// Subbands this block: the input's complex samples, held to what the output holds and the state was built for (the
// five state arrays share one length).
uint32_t subbandsOf(ClassModule *m)
{
    return std::min({capacity(m, 0), wireWords(wire(m, 0)) / 2, wireWords(wire(m, 1)) / 2});
}

ClassModule *scnrConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    // One float per subband of the input; a subband is a complex pair of the block.
    auto variables = kVariables;
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? KVE_WIRE_BLOCK_SIZE(wires[0]->info2) : 0;
    for (uint32_t k = kFirstArray; k < kFirstArray + kArrays; ++k)
        variables[k].length = fixedLength(block / 2);
    return construct(kve_modSCNRv1Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

void scnrProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SCNRv1Module *>(m);
    const auto *in = static_cast<const float *>(wire(m, 0)->buffer);
    auto *out = static_cast<float *>(wire(m, 1)->buffer);
    const float beta = s->noiseOverEstimate;
    const float c = s->noiseRiseCoeff;
    const float lambda = s->priorCoeff;
    const uint32_t n = subbandsOf(m);
    for (uint32_t k = 0; k < n; ++k) {
        const float re = in[2 * k];
        const float im = in[2 * k + 1];

        const float w = (re * re + im * im) - s->powerA1 * s->powerState[k];
        const float power = std::fabs(s->powerB0 * w + s->powerB1 * s->powerState[k]);
        s->powerState[k] = w;

        // The floor creeps up toward a louder subband and drops at once to a quieter one.
        float tracked = s->noiseFloor[k];
        tracked = power > tracked ? (1.0f - c) * tracked + c * power : power;
        s->noiseFloor[k] = tracked;

        // Only a floor at 0: the ratios below then depend on power ratios alone, whatever the level.
        const float excess = std::max(power - beta * tracked, 0.0f);
        const float noise = beta * tracked + kNoiseFloorBias;
        const float prior = lambda * s->outPower[k] + (1.0f - lambda) * excess;
        const float posteriorRatio = hold(excess / noise, 0.04f, 30.0f);
        const float priorRatio = hold(prior / (prior + noise), 0.0f, 1.0f);

        const float u = hold((posteriorRatio * 0.066f - 0.0031000376f) * 4.5f, 0.0f, kLastCell);
        const float v = hold(priorRatio * 9.0f, 0.0f, kLastCell);
        const float g = tableGain(u, v);

        const float wg = g - s->gainA1 * s->gainState[k];
        const float gain = std::max(s->gainB0 * wg + s->gainB1 * s->gainState[k], s->minGain);
        s->gainState[k] = wg;

        const float yRe = gain * re;
        const float yIm = gain * im;
        out[2 * k] = yRe;
        out[2 * k + 1] = yIm;

        const float wo = (yRe * yRe + yIm * yIm) - s->powerA1 * s->outPowerState[k];
        s->outPower[k] = s->powerB0 * wo + s->powerB1 * s->outPowerState[k];
        s->outPowerState[k] = wo;
    }
}

// Every time constant and filter follows the input's sample rate; the tracked state is kept, so a rate change acts
// at once without relearning the noise floor.
int32_t scnrSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SCNRv1Module *>(m);
    const float rate = wire(m, 0)->sampleRate;
    float biquad[5];

    s->priorTime = 0.3119f;
    s->priorCoeff = std::exp(-1.0f / (s->priorTime * rate));
    s->noiseRiseTime = 2000.0f;
    s->noiseRiseCoeff = design_smoother(1, s->noiseRiseTime, rate);
    s->powerCutoff = 12.0f;
    design_butterworth(1, 0, biquad, s->powerCutoff, rate);
    s->powerB0 = biquad[0];
    s->powerB1 = biquad[1];
    s->powerA1 = biquad[3];
    s->gainCutoff = 5.0f;
    design_butterworth(1, 0, biquad, s->gainCutoff, rate);
    s->gainB0 = biquad[0];
    s->gainB1 = biquad[1];
    s->gainA1 = biquad[3];
    s->minGain = std::pow(10.0f, s->minGainDb * 0.05f);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<20> kve_modSCNRv1Class =
    makeClass<20>(0xBEEF43C4u, {scnrConstructor, scnrProcess, IOMatchUpModule_Bypass, scnrSet}, kVariables);
