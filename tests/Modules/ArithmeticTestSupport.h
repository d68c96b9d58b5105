// A small engine holding the arithmetic classes, with helpers that shape and fill wires, build modules by class id
// and reach their variables by ordinal.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Modules/Standard/Arithmetic.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace arithtest {

using kvetest::bitsOf;
using kvetest::floatOf;

inline const ModClassDescriptor *const kTable[] = {
    &kve_modAbsClass.record,
    &kve_modAdderClass.record,
    &kve_modAdderFract32Class.record,
    &kve_modAdderInt32Class.record,
    &kve_modSubtractClass.record,
    &kve_modSubtractFract32Class.record,
    &kve_modSubtractInt32Class.record,
    &kve_modDivideClass.record,
    &kve_modMultiplierClass.record,
    &kve_modMultiplierFract32Class.record,
    &kve_modMultiplierV2Class.record,
    &kve_modMultiplierV2Fract32Class.record,
    &kve_modSumDiffClass.record,
    &kve_modSumDiffFract32Class.record,
    &kve_modSumDiffInt32Class.record,
    &kve_modSquareClass.record,
    &kve_modSquareAddClass.record,
    &kve_modSquareAddFract32Class.record,
    &kve_modScaleOffsetClass.record,
    &kve_modScaleOffsetInt32Class.record,
    &kve_modClipAsymClass.record,
    &kve_modPolynomialClass.record,
};

constexpr uint32_t kAbs = 0xBEEF082Bu;
constexpr uint32_t kAdder = 0xBEEF082Cu;
constexpr uint32_t kAdderFract32 = 0xBEEF0881u;
constexpr uint32_t kAdderInt32 = 0xBEEF082Du;
constexpr uint32_t kSubtract = 0xBEEF0842u;
constexpr uint32_t kSubtractFract32 = 0xBEEF08CAu;
constexpr uint32_t kSubtractInt32 = 0xBEEF0843u;
constexpr uint32_t kDivide = 0xBEEF082Fu;
constexpr uint32_t kMultiplier = 0xBEEF0FF0u;
constexpr uint32_t kMultiplierFract32 = 0xBEEF08A0u;
constexpr uint32_t kMultiplierV2 = 0xBEEF0839u;
constexpr uint32_t kMultiplierV2Fract32 = 0xBEEF08A5u;
constexpr uint32_t kSumDiff = 0xBEEF0844u;
constexpr uint32_t kSumDiffFract32 = 0xBEEF08CBu;
constexpr uint32_t kSumDiffInt32 = 0xBEEF0845u;
constexpr uint32_t kSquare = 0xBEEF0840u;
constexpr uint32_t kSquareAdd = 0xBEEF0841u;
constexpr uint32_t kSquareAddFract32 = 0xBEEF08C8u;
constexpr uint32_t kScaleOffset = 0xBEEF0817u;
constexpr uint32_t kScaleOffsetInt32 = 0xBEEF08CDu;
constexpr uint32_t kClipAsym = 0xBEEF084Eu;
constexpr uint32_t kPolynomial = 0xBEEF084Fu;

// A word no module writes by chance: what an untouched word still holds.
constexpr int32_t kSentinel = 0x5A5A5A5A;

// The shape of one wire: channels, block size, complex flag.
struct Shape {
    uint32_t channels;
    uint32_t block;
    bool complex = false;
};

// A module of one class on fresh wires of the given shapes, inputs first.
struct Wiring {
    uint32_t classId;
    std::vector<uint32_t> args;
    std::vector<Shape> inputs;
    std::vector<Shape> outputs;
};

struct Wired {
    ClassModule *module;
    std::vector<GenericWire *> inputs;
    std::vector<GenericWire *> outputs;
};

class Arithmetic : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
    }

    GenericWire *wire(const Shape &s)
    {
        GenericWire *w = engine_.wire(s.channels, s.block);
        if (s.complex)
            w->info1 |= 1u << 27;
        fill(w, std::vector<int32_t>(kve::kit::wireWords(w), kSentinel));
        return w;
    }
    static int32_t *data(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void fill(GenericWire *w, const std::vector<int32_t> &v) { std::memcpy(data(w), v.data(), v.size() * 4); }
    static void fill(GenericWire *w, const std::vector<float> &v) { std::memcpy(data(w), v.data(), v.size() * 4); }
    static std::vector<int32_t> words(GenericWire *w) { return {data(w), data(w) + kve::kit::wireWords(w)}; }
    static std::vector<float> floats(GenericWire *w)
    {
        std::vector<float> v(kve::kit::wireWords(w));
        std::memcpy(v.data(), data(w), v.size() * 4);
        return v;
    }

    // A module on the wires, inputs first; fails the test when construction does.
    ClassModule *build(uint32_t classId, uint32_t inputs, uint32_t outputs, const std::vector<GenericWire *> &wires,
                       std::vector<uint32_t> args = {})
    {
        int32_t status = KVE_OK;
        std::vector<GenericWire *> w(wires);
        ClassModule *m = ClassModule_Constructor3(engine_.get(), classId, &status, inputs | outputs << 8, w.data(),
                                                  static_cast<uint32_t>(args.size()), args.data());
        EXPECT_EQ(status, KVE_OK) << std::hex << classId;
        return m;
    }
    // Builds a wiring, input k filled with `samples(k, words)` (32-bit words or floats); null module on failure.
    template <class Samples> Wired build(const Wiring &w, Samples samples)
    {
        Wired built{nullptr, {}, {}};
        for (uint32_t k = 0; k < w.inputs.size(); ++k) {
            built.inputs.push_back(wire(w.inputs[k]));
            fill(built.inputs.back(), samples(k, kve::kit::wireWords(built.inputs.back())));
        }
        for (const Shape &s : w.outputs)
            built.outputs.push_back(wire(s));
        std::vector<GenericWire *> wires(built.inputs);
        wires.insert(wires.end(), built.outputs.begin(), built.outputs.end());
        built.module = build(w.classId, static_cast<uint32_t>(w.inputs.size()), static_cast<uint32_t>(w.outputs.size()),
                             wires, w.args);
        return built;
    }
    // The status of a construction expected to fail, and that it built nothing.
    int32_t refusal(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires, std::vector<uint32_t> args)
    {
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), classId, &status, wireWord, wires.data(),
                                           static_cast<uint32_t>(args.size()), args.data()),
                  nullptr);
        return status;
    }
    void run(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    // Variable k of a module, as its class record places it.
    template <class T = int32_t> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    template <class T> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }

    kvetest::TestEngine engine_;
};

} // namespace arithtest
