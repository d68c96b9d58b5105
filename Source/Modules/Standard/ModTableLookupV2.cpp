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

ClassModule *lookupV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    ClassModule *m =
        BaseClassModule_ConstructorHidden(&kve_modTableLookupV2Class.record, status, wireWord, wires, argc, args, 1);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<TableLookupV2Module *>(m);
    return allocateRing(m, &s->table, s->tableSize, s->tableHeap, status) ? m : nullptr;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modTableLookupV2Class =
    makeClass<7>(0xBEEF08DDu,
                 {lookupV2Constructor, oneToOne<lookupBody<TableLookupV2Module>>, IOMatchUpModule_Bypass,
                  lookupSet<TableLookupV2Module>},
                 kVariables);
