// BlockCounter: counts the blocks it runs, and puts the count in word 0 of its output.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct BlockCounterModule {
    ClassModule header;
    uint32_t count;
};

constexpr std::array<Variable, 1> kVariables = {KVE_VARIABLE(BlockCounterModule, count, UInt)};

void blockCounterProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<BlockCounterModule *>(m);
    s->count += 1;
    kve::control::setFirstWord(wire(m, 0), s->count);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modBlockCounterClass = makeClass<1>(
    0xBEEF085Bu, {kve::shapes::wired<&kve_modBlockCounterClass, 0, 1>, blockCounterProcess}, kVariables);
