// ProbeFract32: passes a Fract32 wire to its output and, by `probeMode`, captures channel 0 of the input into
// `probeBuffer` for the host to read (1) or plays `probeBuffer`, as the host wrote it, into channel 0 of the output
// (2); mode 0 only passes the audio and any other mode writes nothing. The probe moves 32-bit words whatever they
// mean, and its instance has the float probe's shape (one mode word, then one buffer of a block of every channel),
// so the float probe's Process serves it.
#include "Modules/Advanced/Measurements.h"
#include "Modules/Standard/Streaming.h"

namespace {

using namespace kve::kit;
using namespace kve::measurements;

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ProbeFract32Module, probeMode, Int),
    KVE_ARRAY_IN(ProbeFract32Module, probeBuffer, Fract32Array, perWordOfWire(0), KVE_HEAPS_HOST_ARRAYS),
};

ClassModule *probeFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return construct(kve_modProbeFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void probeFract32Process(ClassModule *m) { kve_modProbeClass.record.process(m); }

} // namespace

extern "C" constinit const ClassRecord<2> kve_modProbeFract32Class =
    makeClass<2>(0xBEEF0D18u, {probeFract32Constructor, probeFract32Process}, kVariables);
