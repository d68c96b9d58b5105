// LPF1Control: a first-order low-pass on every channel whose pole glides toward the one of the control frequency
// sample by sample, so a stepped frequency never clicks.
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::kit;

struct LPF1ControlModule {
    ClassModule header;
    float smoothingTime;
    float smoothingCoeff;
    float currentPole;
    float *state;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(LPF1ControlModule, smoothingTime, Float),
    KVE_VARIABLE(LPF1ControlModule, smoothingCoeff, Float),
    KVE_VARIABLE(LPF1ControlModule, currentPole, Float),
    KVE_ARRAY(LPF1ControlModule, state, FloatArray, perChannelOfWire(kAudioWire, 2)),
};

ClassModule *lpf1ControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    return construct(kve_modLPF1ControlClass, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

void lpf1ControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<LPF1ControlModule *>(m);
    const GenericWire *in = wire(m, kAudioWire);
    const GenericWire *out = output(m);
    const float rate = in->sampleRate;
    const float target = poleOf(controlFrequency(wire(m, kFrequencyWire), rate * 0.00001f, rate), rate);
    const float c = s->smoothingCoeff;
    const uint32_t ch = kve::scalers::channels(in);
    const uint32_t served = kve::scalers::servedChannels(ch, capacity(m, 0) / 2);
    const int32_t n = kve::scalers::frames(in, out);
    const float *x = kve::scalers::samples(in);
    float *y = kve::scalers::samples(out);
    float p = s->currentPole;
    // Every channel glides from the same stored pole, so all see the same pole at the same frame.
    for (uint32_t k = 0; k < served; ++k) {
        p = s->currentPole;
        float x1 = s->state[2 * k];
        float y1 = s->state[2 * k + 1];
        for (int32_t i = 0; i < n; ++i) {
            p = p * (1.0f - c) + c * target;
            const float xi = x[static_cast<size_t>(i) * ch + k];
            y1 = ((1.0f - p) / 2.0f) * (xi + x1) + p * y1;
            x1 = xi;
            y[static_cast<size_t>(i) * ch + k] = y1;
        }
        s->state[2 * k] = x1;
        s->state[2 * k + 1] = y1;
    }
    s->currentPole = p;
}

int32_t lpf1ControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<LPF1ControlModule *>(m);
    // A step per sample, not per block.
    s->smoothingCoeff = design_smoother(1, s->smoothingTime, wire(m, kAudioWire)->sampleRate);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modLPF1ControlClass = makeClass<4>(
    0xBEEF0D0Eu, {lpf1ControlConstructor, lpf1ControlProcess, bypassSecondInput, lpf1ControlSet}, kVariables);
