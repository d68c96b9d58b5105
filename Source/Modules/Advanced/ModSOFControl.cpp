// SOFControl: one parametric section on every channel of the audio wire, whose frequency, gain and Q may arrive on
// control wires. A changed control asks the tick for the redesign; the running coefficients glide toward the
// designed targets once per block, so the audio path never designs.
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::filters;
using namespace kve::kit;

struct SOFControlModule {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t updateActive;
    float target[kSectionWords];
    float current[kSectionWords];
    float smoothingCoeff;
    int32_t controlMask;
    float *state;
};

constexpr std::array<Variable, 19> kVariables = {
    KVE_VARIABLE(SOFControlModule, filterType, Int),
    KVE_VARIABLE(SOFControlModule, freq, Float),
    KVE_VARIABLE(SOFControlModule, gain, Float),
    KVE_VARIABLE(SOFControlModule, Q, Float),
    KVE_VARIABLE(SOFControlModule, smoothingTime, Float),
    KVE_VARIABLE(SOFControlModule, updateActive, Int),
    KVE_VARIABLE(SOFControlModule, target[0], Float),
    KVE_VARIABLE(SOFControlModule, target[1], Float),
    KVE_VARIABLE(SOFControlModule, target[2], Float),
    KVE_VARIABLE(SOFControlModule, target[3], Float),
    KVE_VARIABLE(SOFControlModule, target[4], Float),
    KVE_VARIABLE(SOFControlModule, current[0], Float),
    KVE_VARIABLE(SOFControlModule, current[1], Float),
    KVE_VARIABLE(SOFControlModule, current[2], Float),
    KVE_VARIABLE(SOFControlModule, current[3], Float),
    KVE_VARIABLE(SOFControlModule, current[4], Float),
    KVE_VARIABLE(SOFControlModule, smoothingCoeff, Float),
    KVE_VARIABLE(SOFControlModule, controlMask, Int),
    KVE_ARRAY(SOFControlModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

void sofControlProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SOFControlModule *>(m);
    followControls(m, s->controlMask, controlsOf(s));
    if (s->updateActive != 0)
        glideCoefficients(s->current, s->target, s->smoothingCoeff, kSectionWords);
    runBiquad(audioInput(m), output(m), s->current, s->state,
              kve::scalers::servedChannels(kve::scalers::channels(audioInput(m)), capacity(m, 0) / kSectionStateWords));
}

int32_t sofControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SOFControlModule *>(m);
    s->smoothingCoeff = designSection(m, s, s->target);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<19> kve_modSOFControlClass = makeClass<19>(
    0xBEEF0D39u,
    {secondOrderConstructor<&kve_modSOFControlClass, &kVariables, 17, kSectionStateWords>, sofControlProcess,
     bypassLastInput, sofControlSet},
    kVariables);
