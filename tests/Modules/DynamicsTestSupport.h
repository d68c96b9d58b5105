// A small engine holding the dynamics and meter classes, with helpers that fill wires and reach variables by
// ordinal.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "Modules/Standard/Dynamics.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace dynamicstest {

inline const ModClassDescriptor *const kDynamicsTable[] = {
    &kve_modMaxAbsClass.record,       &kve_modMaxAbsFract32Class.record, &kve_modAGCMultiplierClass.record,
    &kve_modAGCMultiplierFract32Class.record, &kve_modSoftClipClass.record, &kve_modSoftClipFract32Class.record,
    &kve_modAGCLimiterCoreClass.record, &kve_modAGCLimiterCoreFract32Class.record,
    &kve_modRMSClass.record, &kve_modRMSFract32Class.record, &kve_modRMSNClass.record,
    &kve_modAGCCoreClass.record, &kve_modAGCNoiseGateCoreClass.record,
    &kve_modClipIndicatorClass.record, &kve_modClipIndicatorFract32Class.record,
    &kve_modMeterClass.record, &kve_modMeterFract32Class.record,
};

constexpr float kRate = 48000.0f;

// Wire words: one input, one output.
constexpr uint32_t io(uint32_t inputs, uint32_t outputs) { return inputs | (outputs << 8); }

class Dynamics : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kDynamicsTable;
        engine_->classCount = sizeof kDynamicsTable / sizeof kDynamicsTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    template <typename T = float> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    template <typename T> static void put(GenericWire *w, const std::vector<T> &v)
    {
        ASSERT_EQ(v.size(), kve::kit::wireWords(w));
        std::memcpy(w->buffer, v.data(), v.size() * sizeof(T));
    }
    template <typename T> static void fill(GenericWire *w, T v)
    {
        for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i)
            data<T>(w)[i] = v;
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        return ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local, wireWord,
                                        wires.data(), static_cast<uint32_t>(args.size()), args.data());
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

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

inline uint32_t argOf(float f) { return kvetest::bitsOf(f); }

} // namespace dynamicstest
