// AllpassDelay16: the float allpass section with its line stored in 16 bits, half the memory of the float line.
#include "Modules/Advanced/AllpassDelayKit.h"
#include "kve/kve_vec_fir.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

constexpr auto kVariables = wholeSampleVariables<Type::IntArray>();

void allpassDelay16Process(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayModule *>(m);
    Block<float> b{};
    if (!blockOf<AllpassDelayModule>(m, 2 * capacity(m, 0), true, b))
        return;
    kve_vecAllpassDelay16(static_cast<int16_t *>(s->line), b.ring.length, &b.ring.write, &b.ring.read, b.x, b.y,
                          b.delayed, b.n, s->gain);
    s->writeIndex = b.ring.write;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modAllpassDelay16Class = makeClass<5>(
    0xBEEF0CB9u,
    {kve::delays::withOwnArray<&kve_modAllpassDelay16Class, 1, 1, halfwordLine>, allpassDelay16Process},
    kVariables);
