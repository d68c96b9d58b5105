// What the two subband NLMS filters share: the instance record, the variables, the construction and the shape of
// one block. Each subband has `maxTaps` complex taps and a ring of as many complex reference samples; the taps
// adapt toward the desired signal by the reference-power-normalised step.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Filters.h"

namespace kve::sbnlms {

struct SbNLMSModule {
    ClassModule header;
    int32_t maxTaps;
    int32_t numTaps;
    float mu;
    float epsilon;
    int32_t historyIndex;
    float *taps;         // subband k's tap i at complex index k x maxTaps + i
    float *refHistory;   // subband k's ring at complex index k x maxTaps
    float *pendingError; // the delayed-update form: the scaled error of the last block, one complex per subband
};

constexpr uint32_t kPublicCount = 5;
// Both arrays hold maxTaps complex values per subband of the reference wire.
constexpr uint32_t kTapsArray = 0;
constexpr uint32_t kPendingArray = 2;

constexpr std::array<kit::Variable, 7> kVariables = {
    KVE_VARIABLE(SbNLMSModule, maxTaps, Int),
    KVE_VARIABLE(SbNLMSModule, numTaps, Int),
    KVE_VARIABLE(SbNLMSModule, mu, Float),
    KVE_VARIABLE(SbNLMSModule, epsilon, Float),
    KVE_VARIABLE(SbNLMSModule, historyIndex, Int),
    KVE_ARRAY(SbNLMSModule, taps, FloatArray, fixedLength(0)),
    KVE_ARRAY_IN(SbNLMSModule, refHistory, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

// The reference and desired inputs and the output and error outputs; a third input, when wired, carries one step
// size per subband.
constexpr uint32_t kInputs = 2;
constexpr uint32_t kOutputs = 2;

// Builds a filter of `variables` (the common ones first) with both arrays sized for `maxTaps` complex values per
// subband of the reference wire.
template <size_t N>
ClassModule *constructFilter(const kit::ClassRecord<N> &record, std::array<kit::Variable, N> variables,
                             int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    if (!kit::requireWires(status, wireWord, kInputs, kOutputs))
        return nullptr;
    const int32_t maxTaps = filters::sizeArgument(argc, args, kPublicCount, 0);
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? kit::blockSize(wires[0]) : 0;
    const uint32_t words = filters::elementFactor(block, maxTaps < 0 ? 0u : static_cast<uint32_t>(maxTaps));
    variables[kPublicCount].length = kit::fixedLength(words);
    variables[kPublicCount + 1].length = kit::fixedLength(words);
    return kit::construct(record, variables, kInputs, kOutputs, status, wireWord, wires, argc, args);
}

// One block's extent: the subbands every wire and array holds, the ring length (the host's `maxTaps` held to what
// was built), the taps in use and the ring slot of this block's reference, each within the ring.
struct Shape {
    uint32_t subbands;
    uint32_t ring;
    uint32_t taps;
    uint32_t newest;
};

inline Shape shapeOf(ClassModule *m, uint32_t subbandCapacity)
{
    const auto *s = reinterpret_cast<SbNLMSModule *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    uint32_t words = kit::blockSize(kit::wire(m, 0));
    for (uint32_t w : {1u, inputs, inputs + 1})
        words = std::min(words, kit::wireWords(kit::wire(m, w)));
    const uint32_t subbands = std::min(words / 2, subbandCapacity);
    const uint32_t built = subbands == 0 ? 0 : kit::capacity(m, kTapsArray) / (2 * subbands);
    const uint32_t ring = filters::clampedCount(s->maxTaps, built);
    const int32_t wrapped = ring == 0 ? 0 : s->historyIndex % static_cast<int32_t>(ring);
    const uint32_t newest = static_cast<uint32_t>(wrapped < 0 ? wrapped + static_cast<int32_t>(ring) : wrapped);
    return {subbands, ring, filters::clampedCount(s->numTaps, ring), newest};
}

// The slot before `slot` in a ring of `ring` slots.
inline uint32_t older(uint32_t slot, uint32_t ring) { return slot == 0 ? ring - 1 : slot - 1; }

// historyIndex moves on to the next slot after every block, a block of no subbands too.
inline void advanceHistory(SbNLMSModule *s, const Shape &shape)
{
    s->historyIndex = shape.ring == 0 || shape.newest + 1 >= shape.ring ? 0 : static_cast<int32_t>(shape.newest + 1);
}

// The step size of subband k: the step-size input's value k when that input is wired and holds it, else `mu`.
inline float stepSize(ClassModule *m, uint32_t k)
{
    const float mu = reinterpret_cast<SbNLMSModule *>(m)->mu;
    if (KVE_PACKED_INPUTS(m->packed) <= kInputs)
        return mu;
    const GenericWire *steps = kit::wire(m, kInputs);
    return k < kit::wireWords(steps) ? static_cast<const float *>(steps->buffer)[k] : mu;
}

// The normalised step mu / (reference power + epsilon), or 0 when that is no finite number: with a silent reference
// and no regulariser the division gives infinity, and infinity x 0 would turn every tap into NaN for good.
inline float normalisedStep(float mu, float power, float epsilon)
{
    const float denominator = power + epsilon;
    const float step = mu / denominator;
    return denominator > 0.0f && std::isfinite(step) ? step : 0.0f;
}

struct Complex {
    float re;
    float im;
};

// The complex samples of subband k of the four wires: reference, desired, output and error.
struct Pins {
    const float *reference;
    const float *desired;
    float *output;
    float *error;
};

inline Pins pinsOf(ClassModule *m)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    auto buffer = [m](uint32_t w) { return static_cast<float *>(kit::wire(m, w)->buffer); };
    return {buffer(0), buffer(1), buffer(inputs), buffer(inputs + 1)};
}

// Adds tap w's share of the output, conj(w) x, and the power of its sample x (complex pairs).
inline void accumulate(Complex &y, float &power, const float *w, const float *x)
{
    y.re += w[0] * x[0] + w[1] * x[1];
    y.im += w[0] * x[1] - w[1] * x[0];
    power += x[0] * x[0] + x[1] * x[1];
}

// Writes subband k's output y and its error, the desired value minus y, and returns the error.
inline Complex emit(const Pins &pins, uint32_t k, Complex y)
{
    const Complex e = {pins.desired[2 * k] - y.re, pins.desired[2 * k + 1] - y.im};
    pins.output[2 * k] = y.re;
    pins.output[2 * k + 1] = y.im;
    pins.error[2 * k] = e.re;
    pins.error[2 * k + 1] = e.im;
    return e;
}

} // namespace kve::sbnlms
