// AllpassDelayFract32: the allpass section on a Fract32 line, the gain a Q31 mantissa scaled by a power of two, so a
// gain of 1.0 or more stays exact; products round toward minus infinity and sums saturate.
#include "Dsp/Fract32.h"
#include "Modules/Advanced/AllpassDelayKit.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

constexpr auto kVariables = fract32Variables<Type::Fract32Array>();

void allpassDelayFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayFract32Module *>(m);
    Block<Fract32> b{};
    // The class has no second output: a layout's extra output wire is left as it was.
    if (!blockOf<AllpassDelayFract32Module>(m, capacity(m, 0), false, b))
        return;
    b.delayed = nullptr;
    auto *line = static_cast<Fract32 *>(s->line);
    auto timesGain = [s](Fract32 a) { return kve_shiftProductFract32(kve_mulFract32(a, s->mantissa), s->exponent); };
    for (int32_t i = 0; i < b.n; ++i) {
        const Fract32 d = line[b.ring.read];
        const Fract32 v = kve_addFract32(b.x[i], timesGain(d));
        b.y[i] = kve_subFract32(d, timesGain(v));
        line[b.ring.write] = v;
        advance(b.ring);
    }
    s->writeIndex = b.ring.write;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modAllpassDelayFract32Class = makeClass<7>(
    0xBEEF0CB6u,
    {.constructor = kve::delays::withOwnArray<&kve_modAllpassDelayFract32Class, 1, 1, fract32WordLine>,
     .process = allpassDelayFract32Process,
     .bypass = IOMatchUpModule_Bypass,
     .set = fract32GainSet},
    kVariables);
