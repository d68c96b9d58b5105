// SOFControlHP: the control-steered parametric section in state-space form, which keeps its precision at low
// frequencies; Set converts each design into the state-space targets the running set glides toward.
#include "Modules/Advanced/ControlledFilters.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::controlled;
using namespace kve::filters;
using namespace kve::kit;

struct SOFControlHPModule {
    ClassModule header;
    int32_t filterType;
    float freq;
    float gain;
    float Q;
    float smoothingTime;
    int32_t updateActive;
    float smoothingCoeff;
    int32_t controlMask;
    float *targetCoeffs;
    float *currentCoeffs;
    float *state;
};

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(SOFControlHPModule, filterType, Int),
    KVE_VARIABLE(SOFControlHPModule, freq, Float),
    KVE_VARIABLE(SOFControlHPModule, gain, Float),
    KVE_VARIABLE(SOFControlHPModule, Q, Float),
    KVE_VARIABLE(SOFControlHPModule, smoothingTime, Float),
    KVE_VARIABLE(SOFControlHPModule, updateActive, Int),
    KVE_VARIABLE(SOFControlHPModule, smoothingCoeff, Float),
    KVE_VARIABLE(SOFControlHPModule, controlMask, Int),
    KVE_ARRAY(SOFControlHPModule, targetCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SOFControlHPModule, currentCoeffs, FloatArray, fixedLength(kSectionWords)),
    KVE_ARRAY(SOFControlHPModule, state, FloatArray, perChannelOfWire(0, kSectionStateWords)),
};

constexpr uint32_t kStateArray = 2;

void sofControlHPProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SOFControlHPModule *>(m);
    followControls(m, s->controlMask, controlsOf(s));
    if (s->updateActive != 0)
        glideCoefficients(s->currentCoeffs, s->targetCoeffs, s->smoothingCoeff, kSectionWords);
    const GenericWire *in = audioInput(m);
    const GenericWire *out = output(m);
    const uint32_t ch = kve::scalers::channels(in);
    const uint32_t served = kve::scalers::servedChannels(ch, capacity(m, kStateArray) / kSectionStateWords);
    const int32_t n = kve::scalers::frames(in, out);
    const float *x = kve::scalers::samples(in);
    float *y = kve::scalers::samples(out);
    const auto inc = static_cast<int32_t>(ch);
    uint32_t c = 0;
    for (; c + 2 <= served; c += 2)
        kve_vecBiquadHP_2ch(x + c, inc, y + c, inc, s->currentCoeffs, s->state + kSectionStateWords * c, n);
    if (c < served)
        kve_vecBiquadHP(x + c, inc, y + c, inc, s->currentCoeffs, s->state + kSectionStateWords * c, n);
}

int32_t sofControlHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SOFControlHPModule *>(m);
    float design[kSectionWords];
    s->smoothingCoeff = designSection(m, s, design);
    design_sos2ss(design, s->targetCoeffs);
    s->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modSOFControlHPClass = makeClass<11>(
    0xBEEF0D33u,
    {secondOrderConstructor<&kve_modSOFControlHPClass, &kVariables, 7, kSectionStateWords>, sofControlHPProcess,
     bypassLastInput, sofControlHPSet},
    kVariables);
