// PresetArrayHandler: combines several presets, value by value, into an array of another module when the layout
// writes its preset data or triggers it.
#include "Modules/Advanced/StateControl.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

using Module = PresetArrayHandlerModule;

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(Module, counts.numPresets, Int), KVE_VARIABLE(Module, counts.numRows, Int),
    KVE_VARIABLE(Module, counts.numCols, Int),    KVE_VARIABLE(Module, counts.combineMode, Int),
    KVE_VARIABLE(Module, counts.trigger, Int),    KVE_VARIABLE(Module, presetData, FloatArray),
    KVE_VARIABLE(Module, targetModule, Pointer),  KVE_VARIABLE(Module, targetArray, Pointer),
};

ClassModule *construct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return presetConstruct(kve_modPresetArrayHandlerClass.record, KVE_HEAPS_HOST_ARRAYS, status, wireWord, wires,
                           argc, args);
}

void process(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    presetProcess(m, s->counts, s->targetModule, s->targetArray);
}

int32_t set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<Module *>(m);
    return presetSet(s->targetModule, s->targetArray, s->counts, s->presetData, (mask & (1u << 13)) != 0);
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modPresetArrayHandlerClass =
    makeClass<8>(0xBEEF0D5Du, {construct, process, IOMatchUpModule_Bypass, set}, kVariables);
