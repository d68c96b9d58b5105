// Ducker: the audio lowered to the ducked gain while its trigger fires and for the hold after, then released.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

void duckerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DuckerModule<float> *>(m);
    duckerStep(s, triggerOf(m), 1.0f);
    const GenericWire *audio = wire(m, 1);
    kve_vecScaleSmooth_Nch(static_cast<const float *>(audio->buffer), static_cast<float *>(wire(m, 2)->buffer),
                           static_cast<int32_t>(kve::shapes::channels(audio)), &s->smoothedGain, s->target, s->coeff,
                           audioFrames(m));
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modDuckerClass = makeClass<13>(
    0xBEEF0CF1u,
    {duckerConstruct<&kve_modDuckerClass, float>, duckerProcess, kve::dynamics::passAudio, duckerSet<float>},
    duckerVariables<float>());
