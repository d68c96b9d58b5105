// A small engine holding the generator classes and the inner classes the white-noise composites build, with helpers
// to build modules, pump them and reach their variables.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "Modules/Standard/Logic.h"
#include "Modules/Standard/Oscillators.h"
#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace osctest {

using kvetest::bitsOf;

constexpr uint32_t kRand = 0xBEEF087Bu;
constexpr uint32_t kSineGen = 0xBEEF0FFBu;
constexpr uint32_t kSineGenFract32 = 0xBEEF08C3u;
constexpr uint32_t kSineSmoothedGen = 0xBEEF0879u;
constexpr uint32_t kSineSmoothedGenFract32 = 0xBEEF08C4u;
constexpr uint32_t kSineGenControlFract32 = 0xBEEF08B4u;
constexpr uint32_t kWhiteNoise = 0xBEEF087Cu;
constexpr uint32_t kWhiteNoiseFract32 = 0xBEEF08D7u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kScalerV2 = 0xBEEF0813u;
constexpr uint32_t kScalerFract32 = 0xBEEF08BBu;

constexpr double kRate = 48000.0;
constexpr double kQ31 = 2147483648.0;

inline const ModClassDescriptor *const kOscillatorTable[] = {
    &kve_modRandClass.record,
    &kve_modSineGenClass.record,
    &kve_modSineGenFract32Class.record,
    &kve_modSineSmoothedGenClass.record,
    &kve_modSineSmoothedGenFract32Class.record,
    &kve_modSineGenControlFract32Class.record,
    &kve_modWhiteNoiseClass.record,
    &kve_modWhiteNoiseFract32Class.record,
    &kve_modTypeConversionClass.record,
    &kve_modScalerV2Class.record,
    &kve_modScalerFract32Class.record,
};

class OscillatorTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kOscillatorTable;
        engine_->classCount = sizeof kOscillatorTable / sizeof kOscillatorTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    template <typename T = float> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    template <typename T = float> static std::vector<T> contents(GenericWire *w)
    {
        return std::vector<T>(data<T>(w), data<T>(w) + kve::kit::wireWords(w));
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, args, status);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    template <typename T = float> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }

    kvetest::TestEngine engine_;
};

} // namespace osctest
