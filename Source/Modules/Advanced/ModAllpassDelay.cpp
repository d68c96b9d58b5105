// AllpassDelay: a Schroeder allpass section on a float line of whole samples; the optional second output carries the
// line sample each output was formed from.
#include "Modules/Advanced/AllpassDelayKit.h"

namespace {

using namespace kve::kit;
using namespace kve::allpass;

constexpr auto kVariables = wholeSampleVariables<Type::FloatArray>();

void allpassDelayProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayModule *>(m);
    Block<float> b{};
    if (!blockOf<AllpassDelayModule>(m, capacity(m, 0), false, b))
        return;
    auto *line = static_cast<float *>(s->line);
    const float g = s->gain;
    for (int32_t i = 0; i < b.n; ++i) {
        const float d = line[b.ring.read];
        const float v = b.x[i] + g * d;
        if (b.delayed != nullptr)
            b.delayed[i] = d;
        b.y[i] = d - g * v;
        line[b.ring.write] = v;
        advance(b.ring);
    }
    s->writeIndex = b.ring.write;
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modAllpassDelayClass = makeClass<5>(
    0xBEEF0CB7u,
    {kve::delays::withOwnArray<&kve_modAllpassDelayClass, 1, 1, wordLine>, allpassDelayProcess},
    kVariables);
