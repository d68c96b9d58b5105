// LogicCompare: float wire 0 against float wire 1, word by word, as the relation `compareType` names.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareModule {
    ClassModule header;
    int32_t compareType;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicCompareModule, compareType, Int),
};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicCompareClass =
    makeClass<1>(0xBEEF0826u,
                 {wired<&kve_modLogicCompareClass, 2, 1>, compareWires<LogicCompareModule, float, kFloatRelations>,
                  bypassWithFalse},
                 kVariables);
