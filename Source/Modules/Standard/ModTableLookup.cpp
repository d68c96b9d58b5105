// TableLookup: every sample of wire 0 read from a table spread evenly over minX .. maxX, the nearest entry
// (interpolationType 0) or the line between the two entries around it (any other type); samples at or past either
// end give that end's entry. Set keeps `divisor`, entries per unit of x, in step with minX and maxX.
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct TableLookupModule {
    ClassModule header;
    uint32_t tableSize;
    uint32_t interpolationType;
    float minX;
    float maxX;
    float divisor;
    float *table;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(TableLookupModule, tableSize, UInt),  KVE_VARIABLE(TableLookupModule, interpolationType, UInt),
    KVE_VARIABLE(TableLookupModule, minX, Float),      KVE_VARIABLE(TableLookupModule, maxX, Float),
    KVE_VARIABLE(TableLookupModule, divisor, Float),
    KVE_ARRAY_IN(TableLookupModule, table, FloatArray, perArgument(0), 0x231),
};

ClassModule *lookupConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return construct(kve_modTableLookupClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modTableLookupClass =
    makeClass<6>(0xBEEF08D1u, {lookupConstructor, oneToOne<lookupBody<TableLookupModule>>, IOMatchUpModule_Bypass,
                  lookupSet<TableLookupModule>}, kVariables);
