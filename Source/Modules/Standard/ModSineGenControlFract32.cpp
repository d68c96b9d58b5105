// SineGenControlFract32: the Q1.31 sine generator whose frequency follows the first sample of its control wire
// (hertz, float), glided once per block by `smoothingCoeff`; the angle of each block's frequency is formed afresh.
// Bypassed, it keeps generating: what follows it expects a sine.
#include <cmath>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Oscillators.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::oscillators;

struct SineGenControlFract32Module {
    ClassModule header;
    float smoothingTime;
    float sineReserved;
    float freq;
    Fract32 phasorA;
    Fract32 phasorB;
    float smoothingCoeff;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(SineGenControlFract32Module, smoothingTime, Float),
    KVE_VARIABLE(SineGenControlFract32Module, sineReserved, Float),
    KVE_VARIABLE(SineGenControlFract32Module, freq, Float),
    KVE_VARIABLE(SineGenControlFract32Module, phasorA, Fract32),
    KVE_VARIABLE(SineGenControlFract32Module, phasorB, Fract32),
    KVE_VARIABLE(SineGenControlFract32Module, smoothingCoeff, Float),
};

void sineGenControlFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SineGenControlFract32Module *>(m);
    GenericWire *out = output(m);
    const float c = s->smoothingCoeff;
    // A control wire without samples leaves the frequency where it is.
    const float target = kve::scalers::firstControl(wire(m, 0), s->freq);
    s->freq = (1.0f - c) * s->freq + c * target;
    const float w = stepAngle(m, s->freq);
    turnPhasorFract32(out, &s->phasorA, &s->phasorB, kve_rounded(std::cos(w)), kve_rounded(std::sin(w)));
}

int32_t sineGenControlFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<SineGenControlFract32Module *>(m);
    if (mask & (1u << 8)) {
        const GenericWire *out = output(m);
        s->smoothingCoeff =
            design_smoother(static_cast<int32_t>(blockSize(out)), s->smoothingTime, out->sampleRate);
    }
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modSineGenControlFract32Class =
    makeClass<6>(0xBEEF08B4u,
                 {wired<&kve_modSineGenControlFract32Class, 1, 1>, sineGenControlFract32Process,
                  sineGenControlFract32Process, sineGenControlFract32Set},
                 kVariables);
