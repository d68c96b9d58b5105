// The beam code of both subband beamformers: the weighted sum over the microphones, the two forms of output and the
// Bypass that passes microphone 0.
#include "Modules/Advanced/SbBeamformers.h"

#include <algorithm>

#include "Dsp/Neon.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace kve::beams {

namespace {

using filters::clampedCount;
using kit::blockSize;
using kit::wire;
using kit::wireWords;
using scalers::channels;
using scalers::samples;

// The four lanes summed in a fixed order, (0 + 2) + (1 + 3), so both machines round alike.
float laneSum(float32x4_t v)
{
    const float32x2_t pairs = vadd_f32(vget_low_f32(v), vget_high_f32(v));
    return vget_lane_f32(vpadd_f32(pairs, pairs), 0);
}

// y = sum over m of w[m] x[m], complex products of `mics` interleaved (re, im) weights and samples (the weights as
// stored, not conjugated): four microphones at a time, then the rest one by one.
void beam(const float *w, const float *x, uint32_t mics, float *y)
{
    float re = 0.0f;
    float im = 0.0f;
    uint32_t m = 0;
    if (mics >= 4) {
        float32x4_t accRe = vdupq_n_f32(0.0f);
        float32x4_t accIm = vdupq_n_f32(0.0f);
        for (; m + 4 <= mics; m += 4) {
            const float32x4x2_t a = vld2q_f32(w + 2 * m);
            const float32x4x2_t b = vld2q_f32(x + 2 * m);
            accRe = vaddq_f32(accRe, vsubq_f32(vmulq_f32(a.val[0], b.val[0]), vmulq_f32(a.val[1], b.val[1])));
            accIm = vaddq_f32(accIm, vaddq_f32(vmulq_f32(a.val[0], b.val[1]), vmulq_f32(a.val[1], b.val[0])));
        }
        re = laneSum(accRe);
        im = laneSum(accIm);
    }
    for (; m < mics; ++m) {
        re += w[2 * m] * x[2 * m] - w[2 * m + 1] * x[2 * m + 1];
        im += w[2 * m] * x[2 * m + 1] + w[2 * m + 1] * x[2 * m];
    }
    y[0] = re;
    y[1] = im;
}

} // namespace

bool beamArgumentsFit(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args,
                      uint32_t publicCount, bool infoTable)
{
    if (*status != KVE_OK)
        return false;
    if (args == nullptr || argc != publicCount || wires == nullptr)
        return true; // the engine refuses a list that is not the class's
    const GenericWire *mics = wires[KVE_PACKED_INPUTS(wireWord) == 2 ? 1 : 0];
    const auto directions = static_cast<int32_t>(args[0]);
    const auto weights = static_cast<int32_t>(args[1]);
    const uint32_t nSub = mics != nullptr ? subbands(mics) : 0;
    const uint32_t perDirection = mics != nullptr ? 2 * nSub * channels(mics) : 0;
    bool fits = directions >= 1 && weights >= 0 &&
                static_cast<uint64_t>(weights) >= uint64_t{perDirection} * static_cast<uint32_t>(directions);
    if (infoTable) {
        const auto rows = static_cast<int32_t>(args[2]);
        fits = fits && rows >= 0 && (KVE_PACKED_OUTPUTS(wireWord) < 2 || static_cast<uint32_t>(rows) >= nSub);
    }
    if (!fits)
        *status = KVE_E_BAD_ARGUMENT;
    return fits;
}

Beams formBeams(ClassModule *m, int32_t numDirections, const float *weights, uint32_t weightCapacity)
{
    const GenericWire *mics = microphones(m);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const uint32_t nSub = subbands(mics);
    const uint32_t count = channels(mics);
    const uint64_t perDirection = 2ull * nSub * count;
    const uint64_t held = perDirection == 0 ? UINT32_MAX : weightCapacity / perDirection;
    uint32_t directions = clampedCount(numDirections, static_cast<uint32_t>(held));
    const float *x = samples(mics);
    float *y = samples(out);
    if (selectedForm(m)) {
        const GenericWire *pick = wire(m, 0);
        const int32_t word = wireWords(pick) != 0 ? static_cast<const int32_t *>(pick->buffer)[0] : 0;
        const uint32_t direction = std::min(static_cast<uint32_t>(std::max(word, 0)), std::max(directions, 1u) - 1);
        const uint32_t n = std::min(nSub, wireWords(out) / 2);
        if (directions == 0) {
            kve_vecFill(y, 1, 0.0f, static_cast<int32_t>(2 * n)); // no weights, no beam
            return {0, 0};
        }
        for (uint32_t k = 0; k < n; ++k)
            beam(weights + 2 * (size_t{direction} * nSub + k) * count, x + 2 * size_t{k} * count, count, y + 2 * k);
        return {directions, direction};
    }
    // Subband k of every beam sits together on the output, beam d as channel d.
    const uint32_t outChannels = channels(out);
    directions = std::min(directions, outChannels);
    const uint32_t n = std::min(nSub, blockSize(out) / 2);
    for (uint32_t k = 0; k < n; ++k)
        for (uint32_t d = 0; d < directions; ++d)
            beam(weights + 2 * (size_t{d} * nSub + k) * count, x + 2 * size_t{k} * count, count,
                 y + 2 * (size_t{k} * outChannels + d));
    return {directions, 0};
}

void passMicrophone(ClassModule *m)
{
    const GenericWire *mics = microphones(m);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const uint32_t count = channels(mics);
    const uint32_t outChannels = channels(out);
    if (count == 0) {
        kve_vecFill(samples(out), 1, 0.0f, static_cast<int32_t>(wireWords(out)));
        return;
    }
    const auto n = static_cast<int32_t>(std::min(subbands(mics), blockSize(out) / 2));
    for (uint32_t c = 0; c < outChannels; ++c)
        for (uint32_t part = 0; part < 2; ++part)
            kve_vecCopy32(samples(mics) + part, static_cast<int32_t>(2 * count), samples(out) + 2 * c + part,
                          static_cast<int32_t>(2 * outChannels), n);
}

} // namespace kve::beams
