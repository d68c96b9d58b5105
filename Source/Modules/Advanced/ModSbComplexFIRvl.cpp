// SbComplexFIRvl: each subband with its own number of complex taps, its state and coefficients following those of
// the subband before in arrays of `totalTaps` complex values. The first and last subbands, the edges of a real
// signal's frequency axis, are filtered as real signals: only their real parts are read and written.
#include <algorithm>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;
using kve::scalers::samples;

struct SbComplexFIRvlModule {
    ClassModule header;
    int32_t totalTaps;
    int32_t *stateIndices;
    int32_t *tapCounts;
    float *state;
    float *coeffs;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(SbComplexFIRvlModule, totalTaps, Int),
    KVE_ARRAY(SbComplexFIRvlModule, stateIndices, IntArray, fixedLength(0)),
    KVE_ARRAY(SbComplexFIRvlModule, tapCounts, IntArray, fixedLength(0)),
    KVE_ARRAY_IN(SbComplexFIRvlModule, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
    KVE_ARRAY(SbComplexFIRvlModule, coeffs, FloatArray, fixedLength(0)),
};
enum Array : uint32_t { kStateIndices, kTapCounts, kState, kCoeffs };

ClassModule *kve_modSbComplexFIRvlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                              uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t total = sizeArgument(argc, args, 1, 0);
    const uint32_t subbands = wires != nullptr && wires[0] != nullptr ? blockSize(wires[0]) / 2 : 0;
    auto variables = kVariables;
    variables[1].length = fixedLength(subbands);
    variables[2].length = fixedLength(subbands);
    variables[3].length = fixedLength(elementFactor(2, total < 0 ? 0u : static_cast<uint32_t>(total)));
    variables[4].length = variables[3].length;
    return construct(kve_modSbComplexFIRvlClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Floats of state (and of coefficients) that subband k of `subbands` takes: none without taps, one per tap for the
// real first and last subbands, two for every other one.
uint64_t wordsOf(int32_t taps, uint32_t k, uint32_t subbands)
{
    const bool real = k == 0 || k + 1 == subbands;
    return taps < 1 ? 0 : static_cast<uint64_t>(taps) * (real ? 1 : 2);
}

// One subband through the kernel when the arrays do not hold every subband's taps: the kernel filters its first band
// as a real signal and the middle one of three as complex, so each subband goes through a call of the matching shape
// with its neighbours given no taps. A subband whose taps run past the room outputs 0; as the arrays are laid out,
// every subband with taps after it runs past too.
void filterWithinRoom(SbComplexFIRvlModule *s, const float *in, float *out, uint32_t subbands, uint64_t room)
{
    uint64_t used = 0;
    for (uint32_t k = 0; k < subbands; ++k) {
        const bool real = k == 0 || k + 1 == subbands;
        const int32_t taps = s->tapCounts[k];
        const uint64_t start = used;
        used += wordsOf(taps, k, subbands);
        if (taps < 1 || used > room) {
            out[2 * k] = 0.0f;
            if (!real)
                out[2 * k + 1] = 0.0f;
            continue;
        }
        int32_t counts[3] = {0, taps, 0};
        int32_t indices[3] = {0, s->stateIndices[k], 0};
        float result[6];
        const uint32_t band = real ? 0 : 1;
        kve_vecComplexFIRvl(in + 2 * k - 2 * band, result, s->state + start, s->coeffs + start, counts + 1 - band,
                            indices + 1 - band, real ? 1 : 3);
        s->stateIndices[k] = indices[1];
        out[2 * k] = result[2 * band];
        if (!real)
            out[2 * k + 1] = result[2 * band + 1];
    }
}

void kve_modSbComplexFIRvlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbComplexFIRvlModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const uint32_t subbands = std::min({blockSize(wire(m, 0)) / 2, wireWords(wire(m, 1)) / 2,
                                        capacity(m, kTapCounts), capacity(m, kStateIndices)});
    // The arrays' room in floats: `totalTaps` held to what was built, so a subband never runs past either array.
    const uint64_t room =
        std::min<uint64_t>(2 * static_cast<uint64_t>(std::max(s->totalTaps, 0)), capacity(m, kState));
    uint64_t needed = 0;
    for (uint32_t k = 0; k < subbands; ++k)
        needed += wordsOf(s->tapCounts[k], k, subbands);
    if (needed <= room)
        kve_vecComplexFIRvl(in, out, s->state, s->coeffs, s->tapCounts, s->stateIndices,
                            static_cast<int32_t>(subbands));
    else
        filterWithinRoom(s, in, out, subbands, room);
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modSbComplexFIRvlClass =
    makeClass<5>(0xBEEF0D2Bu, {kve_modSbComplexFIRvlConstructor, kve_modSbComplexFIRvlProcess, IOMatchUpModule_Bypass},
                 kVariables);
