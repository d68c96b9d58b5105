// LogicCompareConstInt32: integer wire 0 against the integer `constant` (signed), word by word, as the relation
// `compareType` names. A code that names no relation leaves the output as it was.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareConstInt32Module {
    ClassModule header;
    int32_t compareType;
    int32_t constant;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(LogicCompareConstInt32Module, compareType, Int),
    KVE_VARIABLE(LogicCompareConstInt32Module, constant, Int),
};

} // namespace

extern "C" constinit const ClassRecord<2> kve_modLogicCompareConstInt32Class =
    makeClass<2>(0xBEEF0897u,
                 {wired<&kve_modLogicCompareConstInt32Class, 1, 1>,
                  compareConstant<LogicCompareConstInt32Module, int32_t, kInt32ConstRelations, false>, bypassWithFalse},
                 kVariables);
