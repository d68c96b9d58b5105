// Rand: 32-bit pseudo-random words from the linear congruential generator whose state is `seed`, into every output
// wire in order; each wire continues the sequence where the one before it stopped, and so does the next block.
#include "Modules/Standard/Oscillators.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct RandModule {
    ClassModule header;
    uint32_t seed;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(RandModule, seed, UInt),
};

void randProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RandModule *>(m);
    for (uint32_t k = 0; k < outputs(m); ++k) {
        const GenericWire *out = wire(m, inputs(m) + k);
        kve_vecRand(words(out), &s->seed, held({out}));
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modRandClass =
    makeClass<1>(0xBEEF087Bu, {wired<&kve_modRandClass, 0, 1>, randProcess}, kVariables);
