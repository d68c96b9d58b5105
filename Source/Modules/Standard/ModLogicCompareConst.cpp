// LogicCompareConst: float wire 0 against the float `constant`, word by word, as the relation `compareType` names.
// A code that names no relation leaves the output as it was.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareConstModule {
    ClassModule header;
    int32_t compareType;
    float constant;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(LogicCompareConstModule, compareType, Int),
    KVE_VARIABLE(LogicCompareConstModule, constant, Float),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modLogicCompareConstClass =
    makeClass<2>(0xBEEF0827u,
                 {wired<&kve_modLogicCompareConstClass, 1, 1>,
                  compareConstant<LogicCompareConstModule, float, kFloatConstRelations, false>, bypassWithFalse},
                 kVariables);
