// Abs: the magnitude of every sample of wire 0 into wire 1.
#include "Modules/Standard/Arithmetic.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modAbsClass =
    makeClass<0>(0xBEEF082Bu, {wired<&kve_modAbsClass, 1, 1>, oneToOne<kernel<kve_vecAbs>>}, kVariables);
