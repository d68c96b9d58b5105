// Scaler: scales each input wire into its output wire by one linear gain.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerModule {
    ClassModule header;
    float gain;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(ScalerModule, gain, Float),
};

ClassModule *scalerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerClass, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord, wires, argc,
                     args);
}

void scalePair(ClassModule *m, uint32_t pairs, uint32_t k)
{
    const GenericWire *in = wire(m, k);
    const GenericWire *out = wire(m, pairs + k);
    kve_vecScale(samples(in), 1, samples(out), 1, reinterpret_cast<ScalerModule *>(m)->gain, pairWords(in, out));
}

// Kept out of line, so that the loop's saved registers burden only the modules wired with several pairs.
[[gnu::noinline]] void scaleEveryPair(ClassModule *m, uint32_t pairs)
{
    for (uint32_t k = 0; k < pairs; ++k)
        scalePair(m, pairs, k);
}

void scalerProcess(ClassModule *m)
{
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    // One pair is the common wiring: its kernel call ends the run as a jump, with no frame of its own.
    if (pairs == 1)
        scalePair(m, 1, 0);
    else
        scaleEveryPair(m, pairs);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modScalerClass =
    makeClass<1>(0xBEEF0FF6u, {scalerConstructor, scalerProcess}, kVariables);
