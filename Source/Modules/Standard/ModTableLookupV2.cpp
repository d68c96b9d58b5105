// TableLookupV2: TableLookup whose table comes from the heap list `tableHeap`.
#include "Modules/Standard/Delays.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::delays;

struct TableLookupV2Module {
    ClassModule header;
    uint32_t tableSize;
    uint32_t interpolationType;
    float minX;
    float maxX;
    float divisor;
    uint32_t tableHeap;
    float *table;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(TableLookupV2Module, tableSize, UInt),  KVE_VARIABLE(TableLookupV2Module, interpolationType, UInt),
    KVE_VARIABLE(TableLookupV2Module, minX, Float),      KVE_VARIABLE(TableLookupV2Module, maxX, Float),
    KVE_VARIABLE(TableLookupV2Module, divisor, Float),   KVE_VARIABLE(TableLookupV2Module, tableHeap, UInt),
    // Sized by tableSize in the heap list tableHeap: the constructor allocates it.
    KVE_ARRAY(TableLookupV2Module, table, FloatArray, fixedLength(0)),
};

OwnArray table(ClassModule *m)
{
    auto *s = reinterpret_cast<TableLookupV2Module *>(m);
    return {&s->table, s->tableSize, s->tableHeap};
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modTableLookupV2Class =
    makeClass<7>(0xBEEF08DDu,
                 {withOwnArray<&kve_modTableLookupV2Class, 1, 1, table>, oneToOne<lookupBody<TableLookupV2Module>>,
                  IOMatchUpModule_Bypass,
                  lookupSet<TableLookupV2Module>},
                 kVariables);
