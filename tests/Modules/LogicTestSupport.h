// A small engine holding the logic, comparison and conversion classes, with helpers that load and read wires as
// any sample type, reach variables by ordinal, and tell whether a module wrote past the end of a wire.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "Modules/Standard/Logic.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace logictest {

using kvetest::bitsOf;
using kvetest::floatOf;

inline const ModClassDescriptor *const kLogicTable[] = {
    &kve_modLogicAllClass.record,
    &kve_modLogicAnyClass.record,
    &kve_modLogicAndConstFract32Class.record,
    &kve_modLogicBinaryOpClass.record,
    &kve_modLogicCompareClass.record,
    &kve_modLogicCompareFract32Class.record,
    &kve_modLogicCompareInt32Class.record,
    &kve_modLogicCompareConstClass.record,
    &kve_modLogicCompareConstFract32Class.record,
    &kve_modLogicCompareConstInt32Class.record,
    &kve_modBitsToIntClass.record,
    &kve_modIntToBitsClass.record,
    &kve_modBooleanInvertClass.record,
    &kve_modWithinRangeClass.record,
    &kve_modWithinRangeFract32Class.record,
    &kve_modZeroCrossingDetectorClass.record,
    &kve_modZeroCrossingDetectorFract32Class.record,
    &kve_modTypeConversionClass.record,
    &kve_modFloatToFract32Class.record,
    &kve_modFloatToIntClass.record,
    &kve_modFract32ToFloatClass.record,
    &kve_modFract32ToIntClass.record,
    &kve_modIntToFloatClass.record,
    &kve_modIntToFract32Class.record,
};

constexpr uint32_t kLogicAll = 0xBEEF0823u;
constexpr uint32_t kLogicAny = 0xBEEF0824u;
constexpr uint32_t kAndConstFract32 = 0xBEEF0893u;
constexpr uint32_t kBinaryOp = 0xBEEF0825u;
constexpr uint32_t kCompare = 0xBEEF0826u;
constexpr uint32_t kCompareFract32 = 0xBEEF0895u;
constexpr uint32_t kCompareInt32 = 0xBEEF0896u;
constexpr uint32_t kCompareConst = 0xBEEF0827u;
constexpr uint32_t kCompareConstFract32 = 0xBEEF0894u;
constexpr uint32_t kCompareConstInt32 = 0xBEEF0897u;
constexpr uint32_t kBitsToInt = 0xBEEF081Fu;
constexpr uint32_t kIntToBits = 0xBEEF0822u;
constexpr uint32_t kBooleanInvert = 0xBEEF0820u;
constexpr uint32_t kWithinRange = 0xBEEF0829u;
constexpr uint32_t kWithinRangeFract32 = 0xBEEF08D8u;
constexpr uint32_t kZeroCrossing = 0xBEEF082Au;
constexpr uint32_t kZeroCrossingFract32 = 0xBEEF08D9u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kFloatToFract32 = 0xBEEF0FDCu;
constexpr uint32_t kFloatToInt = 0xBEEF0FDDu;
constexpr uint32_t kFract32ToFloat = 0xBEEF0FDEu;
constexpr uint32_t kFract32ToInt = 0xBEEF0FDFu;
constexpr uint32_t kIntToFloat = 0xBEEF0FE1u;
constexpr uint32_t kIntToFract32 = 0xBEEF0FE2u;

// A word no module writes by itself: where it survives, nothing was written.
constexpr int32_t kSentinel = 0x5A5A5A5A;

// The wire word of a module with `inputs` inputs and `outputs` outputs.
constexpr uint32_t wiring(uint32_t inputs, uint32_t outputs) { return inputs | (outputs << 8); }

class Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kLogicTable;
        engine_->classCount = std::size(kLogicTable);
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    // Whether the heap's fence word right after the wire's buffer survived: a module that writes past the words the
    // wire holds breaks it.
    static bool fenced(const GenericWire *w) { return data<uint32_t>(w)[kve::kit::wireWords(w)] == KVE_GUARD_WORD; }

    template <class T> static T *data(const GenericWire *w) { return static_cast<T *>(w->buffer); }
    template <class T> static void load(GenericWire *w, const std::vector<T> &v)
    {
        ASSERT_LE(v.size(), kve::kit::wireWords(w));
        std::copy(v.begin(), v.end(), data<T>(w));
    }
    static GenericWire *filled(GenericWire *w, int32_t v)
    {
        std::fill_n(data<int32_t>(w), kve::kit::wireWords(w), v);
        return w;
    }
    template <class T> static std::vector<T> words(const GenericWire *w)
    {
        return {data<T>(w), data<T>(w) + kve::kit::wireWords(w)};
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        int32_t *s = status != nullptr ? status : &local;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), classId, s, wireWord, wires.data(),
                                                  static_cast<uint32_t>(args.size()), args.data());
        if (status == nullptr) {
            EXPECT_EQ(local, KVE_OK) << std::hex << classId;
        }
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    void pumpBypassed(ClassModule *m)
    {
        ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
    }

    // Variable k of a module, as its class record places it.
    template <class T = int32_t> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    // The array a private variable points at.
    static int32_t *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<int32_t>(m, k);
    }

    kvetest::TestEngine engine_;
};

} // namespace logictest
