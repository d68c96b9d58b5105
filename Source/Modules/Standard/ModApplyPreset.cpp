// ApplyPreset: a non-zero change of word 0 of its input asks the tick to apply a preset. This platform keeps no
// preset store: the preset block is carried, zero-filled, for a port that has one.
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;

struct ApplyPresetModule {
    ClassModule header;
    uint32_t lastTrigger;
    uint32_t pad;
    uint32_t *presetBlock;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ApplyPresetModule, lastTrigger, UInt),
    KVE_ARRAY_IN(ApplyPresetModule, presetBlock, IntArray, fixedLength(14), 0x231u), // 56 bytes
};

void applyPresetProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ApplyPresetModule *>(m);
    const GenericWire *in = wire(m, 0);
    if (wireWords(in) == 0)
        return;
    const uint32_t trigger = kve::control::firstWord(in);
    if (trigger == s->lastTrigger)
        return;
    s->lastTrigger = trigger;
    if (trigger != 0)
        kve_fwRequestDeferredSet(m);
}

int32_t applyPresetSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<2> kve_modApplyPresetClass = makeClass<2>(
    0xBEEF0FD1u, {.constructor = kve::control::withArrays<&kve_modApplyPresetClass, &kVariables, 1, 0>,
                  .process = applyPresetProcess, .set = applyPresetSet},
    kVariables);
