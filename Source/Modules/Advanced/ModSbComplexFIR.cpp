// SbComplexFIR: the same number of complex taps for every subband. The ring keeps the last `numTaps` blocks as a
// real plane and an imaginary plane, the newest block at `stateIndex`, which steps back one block per block.
#include <algorithm>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::filters::clampedCount;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;
using kve::scalers::samples;

struct SbComplexFIRModule {
    ClassModule header;
    int32_t numTaps;
    int32_t stateIndex;
    float *state;  // real plane, then imaginary plane: block n - i of subband k at i x subbands + k from the newest
    float *coeffs; // real plane, then imaginary plane: tap i of subband k at i x subbands + k
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(SbComplexFIRModule, numTaps, Int),
    KVE_VARIABLE(SbComplexFIRModule, stateIndex, Int),
    KVE_ARRAY_IN(SbComplexFIRModule, state, FloatArray, fixedLength(0), 0x213u),
    KVE_ARRAY(SbComplexFIRModule, coeffs, FloatArray, fixedLength(0)),
};

ClassModule *kve_modSbComplexFIRConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t taps = sizeArgument(argc, args, 2, 0);
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? blockSize(wires[0]) : 0;
    auto variables = kVariables;
    const uint32_t words = elementFactor(block, taps < 0 ? 0u : static_cast<uint32_t>(taps));
    variables[2].length = fixedLength(words);
    variables[3].length = fixedLength(words);
    return construct(kve_modSbComplexFIRClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modSbComplexFIRProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbComplexFIRModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const uint32_t subbands = std::min(blockSize(wire(m, 0)), wireWords(wire(m, 1))) / 2;
    // The planes keep where they were built, so a host's smaller `numTaps` leaves the imaginary parts in place.
    const uint32_t plane = capacity(m, 0) / 2;
    const uint32_t taps = subbands == 0 ? 0 : clampedCount(s->numTaps, plane / subbands);
    if (taps == 0) {
        kve_vecFill(out, 1, 0.0f, static_cast<int32_t>(2 * subbands));
        return;
    }
    float *stateRe = s->state;
    float *stateIm = s->state + plane;
    const auto ring = static_cast<int32_t>(subbands * taps);
    const auto width = static_cast<int32_t>(subbands);
    // The newest block's slot: the index wrapped into the ring and brought to the start of its block, so a block
    // never runs past the ring's end.
    int32_t newest = s->stateIndex % ring;
    newest = newest < 0 ? newest + ring : newest;
    newest -= newest % width;
    kve_vecCopy32(in, 2, stateRe + newest, 1, width);
    kve_vecCopy32(in + 1, 2, stateIm + newest, 1, width);
    kve_vecComplexFIR(stateRe, stateIm, s->coeffs, s->coeffs + plane, out, out + width, ring,
                      static_cast<int32_t>(taps), newest, width);
    // The oldest block's slot, which the next block overwrites, holds the halves while they are interleaved back.
    const int32_t next = newest - width < 0 ? newest - width + ring : newest - width;
    kve_vecCopy32(out, 1, stateRe + next, 1, width);
    kve_vecCopy32(out + width, 1, stateIm + next, 1, width);
    kve_vecCopy32(stateRe + next, 1, out, 2, width);
    kve_vecCopy32(stateIm + next, 1, out + 1, 2, width);
    s->stateIndex = next;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modSbComplexFIRClass = makeClass<4>(
    0xBEEF0D2Au, {kve_modSbComplexFIRConstructor, kve_modSbComplexFIRProcess, IOMatchUpModule_Bypass}, kVariables);
