// LogicAndConstFract32: every word of wire 0 AND `mask`, bit by bit, into wire 1.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct LogicAndConstFract32Module {
    ClassModule header;
    int32_t mask;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicAndConstFract32Module, mask, Int),
};

void andWithMask(ClassModule *m, const int32_t *x, int32_t *y, int32_t n)
{
    kve_vecAndConstInt32(x, y, reinterpret_cast<LogicAndConstFract32Module *>(m)->mask, n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicAndConstFract32Class =
    makeClass<1>(0xBEEF0893u, {wired<&kve_modLogicAndConstFract32Class, 1, 1>, oneToOne<andWithMask>}, kVariables);
