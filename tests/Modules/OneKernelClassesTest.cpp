// The one-kernel classes as a host and the composites reach them through the installed class table: outputs are
// found after however many inputs a module is wired with (extra inputs are never written), wiring with fewer wires
// than a class reads is refused, and the classes composites build by class id (ClipAsym, ScaleOffset,
// TypeConversion) fill their variables in argument order and process as when built by a command packet from wire
// ids.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;

constexpr uint32_t kAbs = 0xBEEF082Bu;
constexpr uint32_t kAtan2 = 0xBEEF0854u;
constexpr uint32_t kFrexp = 0xBEEF0833u;
constexpr uint32_t kClipAsym = 0xBEEF084Eu;
constexpr uint32_t kScaleOffset = 0xBEEF0817u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;

class OneKernelClasses : public ::testing::Test {
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
    static uint32_t *words(GenericWire *w) { return static_cast<uint32_t *>(w->buffer); }
    static uint32_t var(ClassModule *m, uint32_t k)
    {
        uint32_t v;
        std::memcpy(&v, reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(m->classRecord)[k], sizeof v);
        return v;
    }

    kvetest::TestEngine engine_;
};

TEST_F(OneKernelClasses, ExtraInputsAreReadOnly)
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

TEST_F(OneKernelClasses, ShortWiringIsRefused)
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

TEST_F(OneKernelClasses, BuiltByClassIdActAsWhenBuiltByPacket)
{
    const std::vector<float> x = {-2.0f, -0.5f, -0.25f, 0.0f, 0.1f, 0.5f, 0.75f, 1.5f};
    struct Case {
        const char *what;
        uint32_t classId;
        std::vector<uint32_t> args;
        std::vector<uint32_t> expected; // output words for x
    } cases[] = {
        {"ClipAsym -0.25..0.5",
         kClipAsym,
         {bitsOf(-0.25f), bitsOf(0.5f)},
         {bitsOf(-0.25f), bitsOf(-0.25f), bitsOf(-0.25f), bitsOf(0.0f), bitsOf(0.1f), bitsOf(0.5f), bitsOf(0.5f),
          bitsOf(0.5f)}},
        {"ScaleOffset 2x + 0.5",
         kScaleOffset,
         {bitsOf(2.0f), bitsOf(0.5f)},
         {bitsOf(-3.5f), bitsOf(-0.5f), bitsOf(0.0f), bitsOf(0.5f), bitsOf(0.7f), bitsOf(1.5f), bitsOf(2.0f),
          bitsOf(3.5f)}},
        {"TypeConversion float to Fract32",
         kTypeConversion,
         {0, 1},
         {0x80000000u, 0xC0000000u, 0xE0000000u, 0u, 0x0CCCCCD0u, 0x40000000u, 0x60000000u, 0x7FFFFFFFu}},
        {"TypeConversion float to float copies", kTypeConversion, {0, 0}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = engine_.wire(2, 4);
        GenericWire *byIdOut = engine_.wire(2, 4);
        GenericWire *byPacketOut = engine_.wire(2, 4);
        std::memcpy(in->buffer, x.data(), x.size() * sizeof(float));

        int32_t status = KVE_OK;
        GenericWire *byIdWires[] = {in, byIdOut};
        ClassModule *byId = ClassModule_Constructor(c.classId, &status, 0x101, byIdWires,
                                                    static_cast<uint32_t>(c.args.size()), c.args.data());
        ASSERT_NE(byId, nullptr);
        ASSERT_EQ(status, KVE_OK);
        const uint32_t ids[] = {in->objectId, byPacketOut->objectId};
        ClassModule *byPacket = ClassModule_Constructor2(engine_.get(), c.classId, &status, 0x101, ids,
                                                         static_cast<uint32_t>(c.args.size()), c.args.data());
        ASSERT_NE(byPacket, nullptr);
        ASSERT_EQ(status, KVE_OK);
        for (uint32_t k = 0; k < c.args.size(); ++k) {
            EXPECT_EQ(var(byId, k), c.args[k]) << "variable " << k;
            EXPECT_EQ(var(byPacket, k), c.args[k]) << "variable " << k;
        }

        ASSERT_EQ(kve_fwPumpModule(engine_.get(), byId), KVE_OK);
        ASSERT_EQ(kve_fwPumpModule(engine_.get(), byPacket), KVE_OK);
        const std::vector<uint32_t> expected =
            c.expected.empty() ? std::vector<uint32_t>(words(in), words(in) + x.size()) : c.expected;
        EXPECT_EQ(std::vector<uint32_t>(words(byIdOut), words(byIdOut) + x.size()), expected);
        EXPECT_EQ(std::vector<uint32_t>(words(byPacketOut), words(byPacketOut) + x.size()), expected);
    }
}

} // namespace
