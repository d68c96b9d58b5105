// LogicCompareConstFract32: Fract32 wire 0 against the Fract32 `constant` (signed), word by word, as the relation
// `compareType` names. The output starts false, so a code that names no relation leaves it false.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareConstFract32Module {
    ClassModule header;
    int32_t compareType;
    Fract32 constant;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(LogicCompareConstFract32Module, compareType, Int),
    KVE_VARIABLE(LogicCompareConstFract32Module, constant, Fract32),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modLogicCompareConstFract32Class =
    makeClass<2>(0xBEEF0894u,
                 {wired<&kve_modLogicCompareConstFract32Class, 1, 1>,
                  compareConstant<LogicCompareConstFract32Module, Fract32, kFract32ConstRelations, true>,
                  bypassWithFalse},
                 kVariables);
