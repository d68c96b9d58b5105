// A small engine holding the generator classes (48 kHz wires), with helpers to build a generator on its one output
// wire, run it block after block and reach its variables.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "Modules/Standard/Generators.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace generatortest {

inline const ModClassDescriptor *const kGeneratorTable[] = {
    &kve_modImpulseSourceClass.record,       &kve_modImpulseSourceFract32Class.record,
    &kve_modImpulseMsecSourceClass.record,   &kve_modImpulseMsecSourceFract32Class.record,
    &kve_modPeriodicSourceClass.record,      &kve_modPeriodicSourceFract32Class.record,
    &kve_modPeriodicFunctionGenClass.record, &kve_modPulseGenClass.record,
    &kve_modPulseGenFract32Class.record,     &kve_modSawtoothClass.record,
    &kve_modSawtoothFract32Class.record,
};

constexpr uint32_t kImpulseSource = 0xBEEF0FE0u;
constexpr uint32_t kImpulseSourceFract32 = 0xBEEF0890u;
constexpr uint32_t kImpulseMsecSource = 0xBEEF0875u;
constexpr uint32_t kImpulseMsecSourceFract32 = 0xBEEF0892u;
constexpr uint32_t kPeriodicSource = 0xBEEF0877u;
constexpr uint32_t kPeriodicSourceFract32 = 0xBEEF08A7u;
constexpr uint32_t kPeriodicFunctionGen = 0xBEEF0876u;
constexpr uint32_t kPulseGen = 0xBEEF0878u;
constexpr uint32_t kPulseGenFract32 = 0xBEEF08ABu;
constexpr uint32_t kSawtooth = 0xBEEF0FF3u;
constexpr uint32_t kSawtoothFract32 = 0xBEEF08B7u;

constexpr double kRate = 48000.0;
constexpr uint32_t kOneOutput = 0x100;

class Generators : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kGeneratorTable;
        engine_->classCount = sizeof kGeneratorTable / sizeof kGeneratorTable[0];
    }

    // A generator on a fresh output wire of the given shape; construction must succeed.
    ClassModule *build(uint32_t classId, std::initializer_list<uint32_t> args, uint32_t block = 32,
                       uint32_t channels = 1)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, kOneOutput, {engine_.wire(channels, block)}, args, &status);
        EXPECT_EQ(status, KVE_OK) << std::hex << classId;
        EXPECT_NE(m, nullptr) << std::hex << classId;
        return m;
    }

    // Runs `blocks` blocks and returns every word the output wire held after each, in order.
    template <class T = float> std::vector<T> run(ClassModule *m, uint32_t blocks)
    {
        std::vector<T> got;
        if (m == nullptr)
            return got;
        const GenericWire *out = m->wires[0];
        const T *y = static_cast<const T *>(out->buffer);
        for (uint32_t b = 0; b < blocks; ++b) {
            EXPECT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK);
            got.insert(got.end(), y, y + kve::kit::wireWords(out));
        }
        return got;
    }

    static int32_t set(ClassModule *m, uint32_t mask = KVE_MASK_ALL) { return ClassModule_Set(m, mask); }

    // Variable k of a module, as its class record places it.
    template <typename T = int32_t> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    template <typename T> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }

    kvetest::TestEngine engine_;
};

// Full scale of a class's sample type: 1.0, or 0x7FFFFFFF read back as the same word.
inline uint32_t fullScaleWord(bool fract32) { return fract32 ? 0x7FFFFFFFu : kvetest::bitsOf(1.0f); }

} // namespace generatortest
