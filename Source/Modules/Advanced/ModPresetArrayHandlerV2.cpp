// PresetArrayHandlerV2: the preset handler that combines on every Set, with a reference to each of its first ten
// presets for the layout.
#include "Modules/Advanced/StateControl.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

using Module = PresetArrayHandlerV2Module;

constexpr std::array<Variable, 18> kVariables = {
    KVE_VARIABLE(Module, counts.numPresets, Int), KVE_VARIABLE(Module, counts.numRows, Int),
    KVE_VARIABLE(Module, counts.numCols, Int),    KVE_VARIABLE(Module, counts.combineMode, Int),
    KVE_VARIABLE(Module, counts.trigger, Int),    KVE_VARIABLE(Module, presetData, FloatArray),
    KVE_VARIABLE(Module, presets[0], Pointer),    KVE_VARIABLE(Module, presets[1], Pointer),
    KVE_VARIABLE(Module, presets[2], Pointer),    KVE_VARIABLE(Module, presets[3], Pointer),
    KVE_VARIABLE(Module, presets[4], Pointer),    KVE_VARIABLE(Module, presets[5], Pointer),
    KVE_VARIABLE(Module, presets[6], Pointer),    KVE_VARIABLE(Module, presets[7], Pointer),
    KVE_VARIABLE(Module, presets[8], Pointer),    KVE_VARIABLE(Module, presets[9], Pointer),
    KVE_VARIABLE(Module, targetModule, Pointer),  KVE_VARIABLE(Module, targetArray, Pointer),
};

ClassModule *construct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    ClassModule *m = presetConstruct(kve_modPresetArrayHandlerV2Class.record, KVE_HEAPS_DEFAULT, status, wireWord,
                                     wires, argc, args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<Module *>(m);
    // Preset p as a block of numRows x numCols values: this matches the combining order only for one column.
    const auto size = static_cast<size_t>(s->counts.numRows) * static_cast<size_t>(s->counts.numCols);
    for (uint32_t p = 0; p < kPresetReferences && static_cast<int32_t>(p) < s->counts.numPresets; ++p)
        s->presets[p] = s->presetData + p * size;
    return m;
}

void process(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    presetProcess(m, s->counts, s->targetModule, s->targetArray);
}

int32_t set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<Module *>(m);
    return presetSet(s->targetModule, s->targetArray, s->counts, s->presetData, true);
}

} // namespace

extern "C" constinit const ClassRecord<18> kve_modPresetArrayHandlerV2Class =
    makeClass<18>(0xBEEF0D66u, {construct, process, IOMatchUpModule_Bypass, set}, kVariables);
