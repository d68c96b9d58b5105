// A small engine holding the float scaler classes, with helpers that fill wires, reach variables by ordinal and
// give the one-pole glide in closed form.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Modules/Standard/Scalers.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace scalertest {

using kvetest::bitsOf;

inline const ModClassDescriptor *const kScalerTable[] = {
    &kve_modScalerV2Class.record,         &kve_modScalerClass.record,
    &kve_modScalerDBClass.record,         &kve_modScalerSmoothedClass.record,
    &kve_modScalerDBSmoothedClass.record, &kve_modScalerNClass.record,
    &kve_modScalerNSmoothedClass.record,  &kve_modScalerNDBSmoothedClass.record,
    &kve_modScalerNV2Class.record,        &kve_modScalerControlClass.record,
    &kve_modScalerDBControlClass.record,  &kve_modScalerNControlClass.record,
};

constexpr float kRate = 48000.0f;

// The per-sample step of a smoother of time constant t ms, from the time-constant definition.
inline double stepOf(double timeMs) { return 1.0 - std::exp(-1000.0 / (timeMs * kRate)); }
// Gain after k steps from g0 toward target.
inline double glide(double g0, double target, double a, int k) { return target + (g0 - target) * std::pow(1.0 - a, k); }
// Linear gain of a gain in dB.
inline double linearOf(double dB) { return std::pow(10.0, dB / 20.0); }

class Scalers : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kScalerTable;
        engine_->classCount = sizeof kScalerTable / sizeof kScalerTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (complex)
            w->info1 |= 1u << 27;
        return w;
    }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    // Sample i of the wire = base + i (never zero, so every output word tells which gain it got).
    static void ramp(GenericWire *w, float base = 1.0f)
    {
        const uint32_t n = kve::kit::wireWords(w);
        for (uint32_t i = 0; i < n; ++i)
            data(w)[i] = base + static_cast<float>(i);
    }
    static void fill(GenericWire *w, float v)
    {
        const uint32_t n = kve::kit::wireWords(w);
        for (uint32_t i = 0; i < n; ++i)
            data(w)[i] = v;
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, args, status);
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        return ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local, wireWord,
                                        wires.data(), static_cast<uint32_t>(args.size()), args.data());
    }
    // All-zero construction arguments for a class.
    std::vector<uint32_t> zeroArgs(uint32_t classId)
    {
        return std::vector<uint32_t>(kve_ClassPublicCount(LookupModuleClass(engine_.get(), classId)), 0);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    // Construction on exactly as many wires as the wire word names fails with `status` and leaves nothing in the
    // object list.
    void expectRefused(const char *what, uint32_t classId, uint32_t wireWord, const std::vector<uint32_t> &args,
                       int32_t status)
    {
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord); ++k)
            wires.push_back(wire(2, 8));
        KVEObject *const last = engine_->lastObject;
        int32_t got = KVE_OK;
        EXPECT_EQ(build(classId, wireWord, wires, args, &got), nullptr) << what;
        EXPECT_EQ(got, status) << what;
        EXPECT_EQ(engine_->lastObject, last) << what << ": nothing is left in the object list";
    }

    // Variable k of a module, as its class record places it.
    template <typename T = float> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    // The array a private variable points at.
    template <typename T = float> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }

    kvetest::TestEngine engine_;
};

} // namespace scalertest
