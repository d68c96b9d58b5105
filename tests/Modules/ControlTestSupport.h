// A small engine holding the control classes and a probe class that counts the Set and Get calls it receives, with
// helpers that reach variables by ordinal and read or write word 0 of a wire.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Modules/Standard/Control.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace controltest {

// A module of one public word whose Set and Get count their calls: a target for the parameter bridges.
struct ProbeModule {
    ClassModule header;
    uint32_t value;
};
inline int g_probeSets = 0;
inline int g_probeGets = 0;
inline int32_t probeSet(ClassModule *, uint32_t)
{
    ++g_probeSets;
    return 0;
}
inline int32_t probeGet(ClassModule *, uint32_t)
{
    ++g_probeGets;
    return 7;
}
constexpr uint32_t kProbeId = 0xBEEF7F01u;
inline constexpr std::array<kve::kit::Variable, 1> kProbeVariables = {KVE_VARIABLE(ProbeModule, value, UInt)};
inline constexpr kve::kit::ClassRecord<1> kProbeClass =
    kve::kit::makeClass<1>(kProbeId, {.set = probeSet, .get = probeGet}, kProbeVariables);

inline const ModClassDescriptor *const kControlTable[] = {
    &kve_modParamSetClass.record,      &kve_modParamGetClass.record,     &kve_modBlockCounterClass.record,
    &kve_modCounterClass.record,       &kve_modDebounceClass.record,     &kve_modToggleButtonClass.record,
    &kve_modApplyPresetClass.record,   &kve_modGPIOClass.record,         &kProbeClass.record,
};

// Wiring words: inputs in bits 0-7, outputs in bits 8-15.
constexpr uint32_t wiring(uint32_t in, uint32_t out) { return in | (out << 8); }

class Control : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kControlTable;
        engine_->classCount = sizeof kControlTable / sizeof kControlTable[0];
        g_probeSets = 0;
        g_probeGets = 0;
    }

    GenericWire *wire(uint32_t channels = 1, uint32_t block = 32) { return engine_.wire(channels, block); }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, args, status);
    }
    static uint32_t *words(GenericWire *w) { return static_cast<uint32_t *>(w->buffer); }
    // Variable k of a module, as its raw word.
    static uint32_t &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<uint32_t>(m, k);
    }
    // Private pointer variable k of a module.
    template <class T> static T *&ptr(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T *>(m, k);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    static bool deferred(const ClassModule *m) { return (m->packed & KVE_PACKED_DEFERRED_SET) != 0; }

    kvetest::TestEngine engine_;
};

} // namespace controltest
