// A small engine holding the delay and table classes, with helpers to build them, fill wires and reach variables.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "Modules/Standard/Delays.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace delaytest {

inline const ModClassDescriptor *const kDelayTable[] = {
    &kve_modDelayClass.record,
    &kve_modDelayMsecClass.record,
    &kve_modDelayiClass.record,
    &kve_modDelayciClass.record,
    &kve_modTableLookupClass.record,
    &kve_modTableLookupV2Class.record,
    &kve_modTableInterpClass.record,
    &kve_modTableInterpFract32Class.record,
    &kve_modTableInterpRuntimeClass.record,
    &kve_modTwoPieceInterpClass.record,
};

class DelayTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kDelayTable;
        engine_->classCount = sizeof kDelayTable / sizeof kDelayTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static void fill(GenericWire *w, const std::vector<float> &v)
    {
        const uint32_t n = kve::kit::wireWords(w);
        for (uint32_t i = 0; i < n; ++i)
            data(w)[i] = i < v.size() ? v[i] : 0.0f;
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, args, status);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    int32_t set(ClassModule *m, uint32_t mask) { return ClassModule_Set(m, mask); }

    template <typename T = float> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    template <typename T = float> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }

    kvetest::TestEngine engine_;
};

} // namespace delaytest
