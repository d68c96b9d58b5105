// LogicCompareInt32: integer wire 0 against integer wire 1 (signed), word by word, as the relation `compareType` names.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareInt32Module {
    ClassModule header;
    int32_t compareType;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicCompareInt32Module, compareType, Int),
};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicCompareInt32Class =
    makeClass<1>(0xBEEF0896u,
                 {wired<&kve_modLogicCompareInt32Class, 2, 1>,
                  compareWires<LogicCompareInt32Module, int32_t, kInt32Relations>, bypassWithFalse},
                 kVariables);
