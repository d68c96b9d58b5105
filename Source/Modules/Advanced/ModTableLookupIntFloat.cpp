// TableLookupIntFloat: a float table read at the integer index on its input. Bypassed, it still looks up, so a
// layout that bypasses it keeps a value in range downstream.
#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;
using namespace kve::lookups;

constexpr std::array<Variable, 2> kVariables = intLookupVariables<float>();
constexpr auto kProcess = kve::shapes::oneToOne<lookUpIndices<float>>;

} // namespace

extern "C" constinit const ClassRecord<2> kve_modTableLookupIntFloatClass = makeClass<2>(
    0xBEEF0D3Eu, {kve::control::withArrays<&kve_modTableLookupIntFloatClass, &kVariables, 1, 1>, kProcess, kProcess},
    kVariables);
