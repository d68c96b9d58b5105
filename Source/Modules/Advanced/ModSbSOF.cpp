// SbSOF: a parametric second-order section run on every word of a block as its own signal, one sample per block;
// Set designs target coefficients and the running ones glide toward them once per block while `smoothingActive`.
#include <algorithm>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using kve::scalers::isComplex;
using kve::scalers::samples;

struct SbSOFModule {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain; // dB
    float Q;
    float smoothingTime; // ms
    int32_t smoothingActive;
    float target[kSectionWords];  // b0, b1, b2, a1, a2
    float current[kSectionWords]; // b0, b1, b2, a1, a2
    float smoothingCoeff;
    float *filterState;
};

constexpr std::array<Variable, 18> kVariables = {
    KVE_VARIABLE(SbSOFModule, filterType, Int),
    KVE_VARIABLE(SbSOFModule, freq, Float),
    KVE_VARIABLE(SbSOFModule, gain, Float),
    KVE_VARIABLE(SbSOFModule, Q, Float),
    KVE_VARIABLE(SbSOFModule, smoothingTime, Float),
    KVE_VARIABLE(SbSOFModule, smoothingActive, Int),
    KVE_VARIABLE(SbSOFModule, target[0], Float),
    KVE_VARIABLE(SbSOFModule, target[1], Float),
    KVE_VARIABLE(SbSOFModule, target[2], Float),
    KVE_VARIABLE(SbSOFModule, target[3], Float),
    KVE_VARIABLE(SbSOFModule, target[4], Float),
    KVE_VARIABLE(SbSOFModule, current[0], Float),
    KVE_VARIABLE(SbSOFModule, current[1], Float),
    KVE_VARIABLE(SbSOFModule, current[2], Float),
    KVE_VARIABLE(SbSOFModule, current[3], Float),
    KVE_VARIABLE(SbSOFModule, current[4], Float),
    KVE_VARIABLE(SbSOFModule, smoothingCoeff, Float),
    KVE_ARRAY(SbSOFModule, filterState, FloatArray, perWordOfWire(0, kSectionStateWords)),
};

ClassModule *kve_modSbSOFConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return construct(kve_modSbSOFClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void kve_modSbSOFProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbSOFModule *>(m);
    if (s->smoothingActive != 0)
        glideCoefficients(s->current, s->target, s->smoothingCoeff, kSectionWords);
    // Every word is a channel of one frame, its two state words at 2 x its index.
    const uint32_t n = std::min({wireWords(wire(m, 0)), wireWords(wire(m, 1)),
                                 capacity(m, 0) / kSectionStateWords});
    biquadChannels(samples(wire(m, 0)), samples(wire(m, 1)), n, n, s->current, s->filterState, 1);
}

int32_t kve_modSbSOFSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SbSOFModule *>(m);
    const GenericWire *in = wire(m, 0);
    // One glide step per block: the block counts complex values on a complex wire.
    const uint32_t block = isComplex(in) ? blockSize(in) / 2 : blockSize(in);
    s->smoothingCoeff = design_smoother(static_cast<int32_t>(block), s->smoothingTime, in->sampleRate);
    // Process glides only while the flag stands, so it never sees half a design.
    s->smoothingActive = 0;
    design_second_order_filter(s->filterType, s->target, in->sampleRate, s->freq, s->gain, s->Q);
    s->smoothingActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<18> kve_modSbSOFClass = makeClass<18>(
    0xBEEF0D30u, {kve_modSbSOFConstructor, kve_modSbSOFProcess, IOMatchUpModule_Bypass, kve_modSbSOFSet},
    kVariables);
