// DuckerFract32: the Fract32 audio lowered to the ducked gain while its trigger fires and for the hold after, then
// released.
#include "Modules/Advanced/DynamicsCores.h"

using namespace kve::kit;
using namespace kve::dyncores;

namespace {

void duckerFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<DuckerModule<Fract32> *>(m);
    duckerStep(s, triggerOf(m), Fract32{INT32_MAX});
    const GenericWire *audio = wire(m, 1);
    kve_vecScaleSmooth_NchFract32(static_cast<const Fract32 *>(audio->buffer),
                                  static_cast<Fract32 *>(wire(m, 2)->buffer),
                                  static_cast<int32_t>(kve::shapes::channels(audio)), &s->smoothedGain, s->target, 0,
                                  s->coeff, audioFrames(m));
}

} // namespace

extern "C" constinit const ClassRecord<13> kve_modDuckerFract32Class = makeClass<13>(
    0xBEEF0CF0u,
    {duckerConstruct<&kve_modDuckerFract32Class, Fract32>, duckerFract32Process, kve::dynamics::passAudio,
     duckerSet<Fract32>},
    duckerVariables<Fract32>());
