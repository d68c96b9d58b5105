// FIRSparse: a FIR of a few taps at arbitrary delays over its own delay line. Each block enters the line, then every
// tap reads the block `delays`[k] samples older into the scratch wire and adds it, weighted, to the output. The
// line is what the sparse readers of other modules may follow.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = SparseModule;

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, maxDelay, Int),
    KVE_VARIABLE(M, delayHeap, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_ARRAY(M, delays, IntArray, perArgument(0)),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(0)),
    KVE_ARRAY(M, delayLine, FloatArray, fixedLength(0)),
};

// The line holds the input block, `maxDelay` more samples and a spare slot, in the heaps `delayHeap` names. The taps
// are read through a scratch wire, which the wiring must give (-4 without it).
ClassModule *sparseConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    if (KVE_PACKED_SCRATCH(wireWord) < 1) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    auto variables = kVariables;
    if (args != nullptr && argc == 4 && wires != nullptr && wires[0] != nullptr) {
        const auto taps = static_cast<int32_t>(args[0]);
        const auto maxDelay = static_cast<int32_t>(args[1]);
        if (!sizeArgumentOk(status, taps) || !sizeArgumentOk(status, maxDelay))
            return nullptr;
        variables[6].length = fixedLength(static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{wireWords(wires[0])} + static_cast<uint32_t>(maxDelay) + 1, UINT32_MAX)));
        variables[6].heaps = args[2];
    }
    return construct(kve_modFIRSparseClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void sparseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const SourceLine line = lineOf(m, LineKind::Float);
    const auto block = static_cast<int32_t>(wireWords(in));
    if (line.length < block || block == 0)
        return;
    int32_t index = line.writeIndex;
    kve_vecCircWrite(s->delayLine, line.length, &index, 1, in->buffer, 1, block);
    s->stateIndex = index;
    const uint32_t taps = heldTaps(m, s->numTaps);
    if (taps == 0)
        return; // no taps: the output wire keeps what it holds
    GenericWire *scratch = wire(m, 2);
    const auto n = static_cast<int32_t>(std::min({wireWords(in), wireWords(out), wireWords(scratch)}));
    auto *tmp = static_cast<float *>(scratch->buffer);
    auto *y = static_cast<float *>(out->buffer);
    for (uint32_t k = 0; k < taps; ++k) {
        const int32_t d = std::clamp(s->delays[k], 0, line.length - block);
        int32_t read = index - block - d;
        read += read < 0 ? line.length : 0;
        kve_vecCircRead(s->delayLine, line.length, &read, 1, tmp, 1, n);
        if (k == 0)
            kve_vecScale(tmp, 1, y, 1, s->coeffs[0], n);
        else
            kve_vecScaleAdd(tmp, 1, y, 1, s->coeffs[k], n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modFIRSparseClass =
    makeClass<7>(0xBEEF0CFDu, {sparseConstructor, sparseProcess}, kVariables);
