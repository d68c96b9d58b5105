// AllpassDelay16Fract32: the Fract32 allpass section with its line stored as the upper 16 bits of each sample.
#include "Modules/Advanced/AllpassDelayKit.h"
#include "kve/kve_vec_fir.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

constexpr auto kVariables = fract32Variables<Type::IntArray>();

void allpassDelay16Fract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayFract32Module *>(m);
    Block<Fract32> b{};
    if (!blockOf<AllpassDelayFract32Module>(m, 2 * capacity(m, 0), true, b))
        return;
    kve_vecAllpassDelay16Fract32(static_cast<int16_t *>(s->line), b.ring.length, &b.ring.write, &b.ring.read, b.x,
                                 b.y, b.delayed, s->mantissa, s->exponent, b.n);
    s->writeIndex = b.ring.write;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modAllpassDelay16Fract32Class = makeClass<7>(
    0xBEEF0CB8u,
    {.constructor = kve::delays::withOwnArray<&kve_modAllpassDelay16Fract32Class, 1, 1, fract32HalfwordLine>,
     .process = allpassDelay16Fract32Process,
     .bypass = IOMatchUpModule_Bypass,
     .set = fract32GainSet},
    kVariables);
