// ScalerDB: scales each input wire into its output wire by one gain given in dB.
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;

struct ScalerDBModule {
    ClassModule header;
    float gainDB;
    float gain;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ScalerDBModule, gainDB, Float),
    KVE_VARIABLE(ScalerDBModule, gain, Float),
};

ClassModule *scalerDBConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    // One output for every input.
    return construct(kve_modScalerDBClass, kVariables, 1, KVE_PACKED_INPUTS(wireWord), status, wireWord, wires,
                     argc, args);
}

void scalerDBProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ScalerDBModule *>(m);
    const uint32_t pairs = KVE_PACKED_INPUTS(m->packed);
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = wire(m, k);
        const GenericWire *out = wire(m, pairs + k);
        kve_vecScale(samples(in), 1, samples(out), 1, s->gain, pairWords(in, out));
    }
}

int32_t scalerDBSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ScalerDBModule *>(m);
    s->gain = undB(s->gainDB);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modScalerDBClass =
    makeClass<2>(0xBEEF0FF4u, {scalerDBConstructor, scalerDBProcess, IOMatchUpModule_Bypass, scalerDBSet},
                 kVariables);
