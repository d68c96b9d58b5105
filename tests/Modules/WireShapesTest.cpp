// The wire shapes the one-kernel classes share: outputs are found after however many inputs a module is wired with,
// so extra inputs are never written, and wiring with fewer wires than a shape reads is refused.
#include <gtest/gtest.h>

#include <vector>

#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;

constexpr uint32_t kAbs = 0xBEEF082Bu;
constexpr uint32_t kAtan2 = 0xBEEF0854u;
constexpr uint32_t kFrexp = 0xBEEF0833u;

class WireShapes : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = g_module_descriptor_table;
        engine_->classCount = g_module_descriptor_count;
    }
    GenericWire *filled(float v)
    {
        GenericWire *w = engine_.wire(1, 4);
        for (uint32_t i = 0; i < 4; ++i)
            static_cast<float *>(w->buffer)[i] = v;
        return w;
    }
    static float first(GenericWire *w) { return static_cast<float *>(w->buffer)[0]; }

    kvetest::TestEngine engine_;
};

TEST_F(WireShapes, ExtraInputsAreReadOnly)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t inputs, outputs;
        std::vector<float> expected; // first sample of each output
    } cases[] = {
        {"Abs, 1->1 wired 3->1", kAbs, 3, 1, {2.0f}},
        {"Atan2, 2->1 wired 3->1", kAtan2, 3, 1, {-2.3561945f}},
        {"Frexp, 1->2 wired 2->2", kFrexp, 2, 2, {-0.5f}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < c.inputs; ++k)
            wires.push_back(filled(-2.0f));
        for (uint32_t k = 0; k < c.outputs; ++k)
            wires.push_back(filled(7.0f));
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), c.classId, &status, (c.outputs << 8) | c.inputs,
                                                  wires.data(), 0, nullptr);
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK);
        for (uint32_t k = 0; k < c.inputs; ++k)
            EXPECT_EQ(first(wires[k]), -2.0f) << "input " << k;
        for (uint32_t k = 0; k < c.outputs; ++k) {
            if (c.classId == kFrexp && k == 1) // the exponent of -2.0 is 2, an integer word
                EXPECT_EQ(static_cast<int32_t *>(wires[c.inputs + k]->buffer)[0], 2);
            else
                EXPECT_NEAR(first(wires[c.inputs + k]), c.expected[k], 1e-6f) << "output " << k;
        }
    }
}

TEST_F(WireShapes, ShortWiringIsRefused)
{
    const struct {
        uint32_t classId, wireWord;
    } cases[] = {{kAbs, 0x001}, {kAbs, 0x100}, {kAtan2, 0x101}, {kFrexp, 0x101}};
    for (const auto &c : cases) {
        GenericWire *wires[] = {filled(1.0f), filled(1.0f)};
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires, 0, nullptr), nullptr)
            << std::hex << c.classId << " " << c.wireWord;
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
