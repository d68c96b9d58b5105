// FIRSparseReader: a sparse FIR over the delay line of another module, a FIRSparse or a 32-bit delay-state writer,
// whose object id arrives in the first word of the input wire. Output sample i of the block weighs the line's
// samples `activeDelays`[t] older than sample i of the newest block; without a source it outputs silence.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = SparseReaderModule;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, sourceId, UInt),
    KVE_ARRAY_IN(M, delays, IntArray, perArgument(0), KVE_HEAPS_LONG_STATE),
    KVE_ARRAY_IN(M, activeDelays, IntArray, perArgument(0, 1, 1), KVE_HEAPS_LONG_STATE),
    KVE_ARRAY_IN(M, coeffs, FloatArray, perArgument(0), kReaderCoeffHeaps),
    KVE_VARIABLE(M, source, Pointer),
};

ClassModule *readerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return constructReader(kve_modFIRSparseReaderClass, kVariables, status, wireWord, wires, argc, args, 2);
}

void readerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    s->source = followedSource(wire(m, 0), &s->sourceId, s->source, LineKind::Float);
    GenericWire *out = wire(m, 1);
    auto *y = static_cast<float *>(out->buffer);
    const SourceLine line = lineOf(s->source, LineKind::Float);
    if (line.length == 0) {
        kve_vecFill(y, 1, 0.0f, static_cast<int32_t>(wireWords(out)));
        return;
    }
    auto *samples = static_cast<float *>(line.buffer);
    samples[line.length] = samples[0]; // the spare slot repeats the line's start, for reads that run past its end
    const uint32_t taps = readerTaps(m, s->numTaps);
    const auto n = static_cast<int32_t>(blockSize(out));
    clampDelays(s->activeDelays, taps, line.length - n);
    kve_vecFIRSparseReader(reinterpret_cast<const uint32_t *>(s->activeDelays), y, s->coeffs,
                           static_cast<int32_t>(taps), n, ringPosition(line.writeIndex - n, line.length), line.length,
                           samples);
}

// Bypassed, the reader passes the newest samples of the source's line, the output wire's worth of them.
void readerBypass(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    s->source = followedSource(wire(m, 0), &s->sourceId, s->source, LineKind::Float);
    GenericWire *out = wire(m, 1);
    const auto n = static_cast<int32_t>(wireWords(out));
    const SourceLine line = lineOf(s->source, LineKind::Float);
    if (line.length == 0) {
        kve_vecFill(static_cast<float *>(out->buffer), 1, 0.0f, n);
        return;
    }
    int32_t start = ringPosition(line.writeIndex - n, line.length);
    kve_vecCircRead(line.buffer, line.length, &start, 1, out->buffer, 1, n);
}

int32_t readerSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    activateDelays(m, s->delays, s->activeDelays, s->numTaps);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFIRSparseReaderClass =
    makeClass<6>(0xBEEF0D00u, {readerConstructor, readerProcess, readerBypass, readerSet}, kVariables);
