// FOFControl: a first-order low-pass or high-pass section on every channel, whose corner arrives on a frequency
// wire. The pole glides toward the one of the control frequency once per block.
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::filters;
using namespace kve::kit;

struct FOFControlModule {
    ClassModule header;
    float smoothingTime;
    int32_t highPass;
    float smoothingCoeff;
    float currentPole;
    float *coeffs;
    float *state;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(FOFControlModule, smoothingTime, Float),
    KVE_VARIABLE(FOFControlModule, highPass, Int),
    KVE_VARIABLE(FOFControlModule, smoothingCoeff, Float),
    KVE_VARIABLE(FOFControlModule, currentPole, Float),
    KVE_ARRAY(FOFControlModule, coeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(FOFControlModule, state, FloatArray, perChannelOfWire(kAudioWire, 4)),
};

ClassModule *fofControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    return construct(kve_modFOFControlClass, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

void fofControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<FOFControlModule *>(m);
    const GenericWire *in = wire(m, kAudioWire);
    const GenericWire *out = output(m);
    const float k = poleOf(controlFrequency(wire(m, kFrequencyWire), 10.0f, in->sampleRate), in->sampleRate);
    s->currentPole = k * s->smoothingCoeff + (1.0f - s->smoothingCoeff) * s->currentPole;
    const float p = s->currentPole;
    const float b0 = s->highPass != 0 ? (1.0f + p) / 2.0f : (1.0f - p) / 2.0f;
    s->coeffs[0] = b0;
    s->coeffs[1] = s->highPass != 0 ? -b0 : b0;
    s->coeffs[2] = 0.0f;
    s->coeffs[3] = -p;
    s->coeffs[4] = 0.0f;
    const uint32_t ch = kve::scalers::channels(in);
    const uint32_t served = kve::scalers::servedChannels(ch, capacity(m, 1) / 4);
    const int32_t n = kve::scalers::frames(in, out);
    const auto inc = static_cast<int32_t>(ch);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecBiquad_DF1(kve::scalers::samples(in) + c, inc, kve::scalers::samples(out) + c, inc, s->coeffs,
                          s->state + 4 * c, n);
}

int32_t fofControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<FOFControlModule *>(m);
    s->smoothingCoeff = kve::scalers::blockSmoother(s->smoothingTime, wire(m, kAudioWire));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFOFControlClass = makeClass<6>(
    0xBEEF0D02u, {fofControlConstructor, fofControlProcess, bypassSecondInput, fofControlSet}, kVariables);
