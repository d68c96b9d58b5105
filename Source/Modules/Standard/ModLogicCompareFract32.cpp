// LogicCompareFract32: Fract32 wire 0 against Fract32 wire 1 (signed), word by word, as the relation `compareType`
// names.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicCompareFract32Module {
    ClassModule header;
    int32_t compareType;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(LogicCompareFract32Module, compareType, Int),
};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modLogicCompareFract32Class =
    makeClass<1>(0xBEEF0895u,
                 {wired<&kve_modLogicCompareFract32Class, 2, 1>,
                  compareWires<LogicCompareFract32Module, Fract32, kFract32Relations>, bypassWithFalse},
                 kVariables);
