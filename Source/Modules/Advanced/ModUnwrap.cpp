// Unwrap: the phases of every channel of wire 0 into wire 1 with whole turns added or taken away, so that no step
// from one sample of a channel to the next exceeds pi; each block starts its channels afresh.
#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

void unwrapProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputs(m));
    const uint32_t lanes = std::min(channels(in), channels(out));
    const int32_t n = fewest({blockSize(in), blockSize(out)});
    for (uint32_t c = 0; c < lanes; ++c)
        kve_vecUnwrap(samples(in) + c, static_cast<int32_t>(channels(in)), samples(out) + c,
                      static_cast<int32_t>(channels(out)), n);
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modUnwrapClass =
    makeClass<0>(0xBEEF0D45u, {kve::shapes::wired<&kve_modUnwrapClass, 1, 1>, unwrapProcess}, kVariables);
