// A small engine holding the source and sink classes, with helpers to build them on wires of a given shape, fill and
// read wires as raw words, and reach variables and arrays.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "Modules/Standard/Sources.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace sourcestest {

constexpr uint32_t kSource = 0xBEEF086Fu;
constexpr uint32_t kSourceFract32 = 0xBEEF08C7u;
constexpr uint32_t kSourceInt = 0xBEEF0870u;
constexpr uint32_t kBooleanSource = 0xBEEF0871u;
constexpr uint32_t kSink = 0xBEEF086Du;
constexpr uint32_t kSinkFract32 = 0xBEEF08C5u;
constexpr uint32_t kSinkInt = 0xBEEF086Eu;
constexpr uint32_t kBooleanSink = 0xBEEF0869u;
constexpr uint32_t kNullSink = 0xBEEF086Cu;
constexpr uint32_t kNullSinkV2 = 0xBEEF08DCu;
constexpr uint32_t kZeroSource = 0xBEEF0874u;
constexpr uint32_t kDCSource = 0xBEEF0FD5u;
constexpr uint32_t kDCSourceFract32 = 0xBEEF0FD4u;
constexpr uint32_t kDCSourceInt = 0xBEEF0873u;
constexpr uint32_t kDCSourceV2 = 0xBEEF0872u;
constexpr uint32_t kDCSourceV2Fract32 = 0xBEEF088Cu;
constexpr uint32_t kDCSourceControl = 0xBEEF0FD3u;
constexpr uint32_t kDCSourceControlFract32 = 0xBEEF0FD2u;

inline const ModClassDescriptor *const kSourcesTable[] = {
    &kve_modSourceClass.record,          &kve_modSourceFract32Class.record,
    &kve_modSourceIntClass.record,       &kve_modBooleanSourceClass.record,
    &kve_modSinkClass.record,            &kve_modSinkFract32Class.record,
    &kve_modSinkIntClass.record,         &kve_modBooleanSinkClass.record,
    &kve_modNullSinkClass.record,        &kve_modNullSinkV2Class.record,
    &kve_modZeroSourceClass.record,      &kve_modDCSourceClass.record,
    &kve_modDCSourceFract32Class.record, &kve_modDCSourceIntClass.record,
    &kve_modDCSourceV2Class.record,      &kve_modDCSourceV2Fract32Class.record,
    &kve_modDCSourceControlClass.record, &kve_modDCSourceControlFract32Class.record,
};

// A word stands in a wire or array for whatever the class carries: float bits, Fract32 or integer.
using Words = std::vector<uint32_t>;

inline uint32_t f(float v) { return kvetest::bitsOf(v); }

class SourcesTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kSourcesTable;
        engine_->classCount = sizeof kSourcesTable / sizeof kSourcesTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (w != nullptr && complex)
            w->info1 |= 1u << 27;
        return w;
    }
    static uint32_t *data(GenericWire *w) { return static_cast<uint32_t *>(w->buffer); }
    static void fill(GenericWire *w, const Words &v)
    {
        const uint32_t n = kve::kit::wireWords(w);
        for (uint32_t i = 0; i < n; ++i)
            data(w)[i] = i < v.size() ? v[i] : 0;
    }
    static Words words(GenericWire *w) { return Words(data(w), data(w) + kve::kit::wireWords(w)); }

    // Without arguments every public variable starts at 0.
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       Words args = {}, int32_t *status = nullptr)
    {
        const ModClassDescriptor *c = LookupModuleClass(engine_.get(), classId);
        if (args.empty() && c != nullptr)
            args.resize(kve_ClassPublicCount(c), 0);
        int32_t local = KVE_OK;
        int32_t *s = status != nullptr ? status : &local;
        std::vector<GenericWire *> w(wires);
        return ClassModule_Constructor3(engine_.get(), classId, s, wireWord, w.data(),
                                        static_cast<uint32_t>(args.size()), args.data());
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    template <typename T = uint32_t> static T &var(ClassModule *m, uint32_t k) { return kvetest::variable<T>(m, k); }
    static uint32_t *array(ClassModule *m, uint32_t k) { return kvetest::privateArray<uint32_t>(m, k); }

    kvetest::TestEngine engine_;
};

} // namespace sourcestest
