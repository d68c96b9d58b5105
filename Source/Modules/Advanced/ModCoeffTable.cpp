// CoeffTable: a table of coefficient rows; the row its input names is copied into an array of another module, every
// block or only when the row changes, and the target then recomputes through the tick or at once. The layout aims
// the target module and array through member addresses, so both stay ordinary pointers a host may aim.
#include <algorithm>
#include <cstring>

#include "Engine/EngineInternal.h"
#include "Modules/Advanced/Lookups.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct CoeffTableModule {
    ClassModule header;
    int32_t lastIndex;
    int32_t rowLength;
    int32_t numRows;
    int32_t updateMode;
    float *table; // numRows x rowLength
    ClassModule *targetModule;
    float *targetArray;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(CoeffTableModule, lastIndex, Int),
    KVE_VARIABLE(CoeffTableModule, rowLength, Int),
    KVE_VARIABLE(CoeffTableModule, numRows, Int),
    KVE_VARIABLE(CoeffTableModule, updateMode, Int),
    KVE_VARIABLE(CoeffTableModule, table, FloatArray),
    KVE_VARIABLE(CoeffTableModule, targetModule, Pointer),
    KVE_VARIABLE(CoeffTableModule, targetArray, Pointer),
};

enum Mode : uint32_t { kEveryBlock, kEveryBlockDeferred, kOnChange, kOnChangeDeferred, kOnChangeAtOnce };

ClassModule *coeffTableConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    ClassModule *m = kve::control::constructBridge(kve_modCoeffTableClass.record, 1, 0, status, wireWord, wires, argc,
                                                   args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<CoeffTableModule *>(m);
    const uint64_t entries =
        static_cast<uint64_t>(std::max(s->numRows, 0)) * static_cast<uint64_t>(std::max(s->rowLength, 0));
    s->table = entries <= UINT32_MAX / 4 ? static_cast<float *>(kve_fwMalloc(static_cast<uint32_t>(entries * 4),
                                                                              KVE_HEAPS_HOST_ARRAYS, status))
                                         : nullptr;
    if (s->table == nullptr) {
        if (*status == KVE_OK)
            *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    return m;
}

void coeffTableProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<CoeffTableModule *>(m);
    const auto mode = static_cast<uint32_t>(s->updateMode);
    if (mode > kOnChangeAtOnce || s->targetArray == nullptr || !kve::control::isLiveModule(s->targetModule))
        return;
    const GenericWire *in = wire(m, 0);
    if (wireWords(in) == 0 || s->numRows <= 0)
        return;
    const auto index = static_cast<int32_t>(kve::control::firstWord(in));
    const int32_t row = std::clamp(index, 0, s->numRows - 1);
    if (mode >= kOnChange && row == s->lastIndex)
        return;
    // Both ends are pointers a host may have aimed: the row is copied only when it lies in the heaps and fits the
    // target array, as a host's own multi-word write through the target would have to.
    const auto words = static_cast<uint32_t>(std::max(s->rowLength, 0));
    const auto *source = reinterpret_cast<const float *>(reinterpret_cast<uintptr_t>(s->table) +
                                                         4ull * static_cast<uint64_t>(row) * words);
    if (kve::checkAimedRange(g_pKVE_instance, source, words, false) != KVE_OK ||
        kve::checkAimedRange(g_pKVE_instance, s->targetArray, words, true) != KVE_OK)
        return;
    std::memmove(s->targetArray, source, static_cast<size_t>(words) * 4u);
    s->lastIndex = row;
    if (mode == kEveryBlockDeferred || mode == kOnChangeDeferred)
        kve_fwRequestDeferredSet(s->targetModule);
    else if (mode == kOnChangeAtOnce)
        ClassModule_Set(s->targetModule, KVE_MASK_ALL);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modCoeffTableClass =
    makeClass<7>(0xBEEF0CCFu, {coeffTableConstructor, coeffTableProcess}, kVariables);
