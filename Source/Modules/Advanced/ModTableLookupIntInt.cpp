// TableLookupIntInt: an integer table read at the integer index on its input.
#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;
using namespace kve::lookups;

constexpr std::array<Variable, 2> kVariables = intLookupVariables<int32_t>();

} // namespace

extern "C" constinit const ClassRecord<2> kve_modTableLookupIntIntClass = makeClass<2>(
    0xBEEF0D3Fu,
    {kve::control::withArrays<&kve_modTableLookupIntIntClass, &kVariables, 1, 1>,
     kve::shapes::oneToOne<lookUpIndices<int32_t>>},
    kVariables);
