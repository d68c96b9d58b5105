// LogicAny: whether any word of wire 0 is nonzero, into `result` and, with one output, its first word.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct LogicAnyModule {
    ClassModule header;
    int32_t result;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicAnyModule, result, Int),
};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicAnyClass =
    makeClass<1>(0xBEEF0824u,
                 {wired<&kve_modLogicAnyClass, 1, 0>, kve::logic::reduce<LogicAnyModule, false>,
                  kve::logic::reduceBypass},
                 kVariables);
