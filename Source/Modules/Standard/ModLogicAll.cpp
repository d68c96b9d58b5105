// LogicAll: whether every word of wire 0 is nonzero, into `result` and, with one output, its first word.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct LogicAllModule {
    ClassModule header;
    int32_t result;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicAllModule, result, Int),
};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicAllClass =
    makeClass<1>(0xBEEF0823u,
                 {wired<&kve_modLogicAllClass, 1, 0>, kve::logic::reduce<LogicAllModule, true>,
                  kve::logic::reduceBypass},
                 kVariables);
