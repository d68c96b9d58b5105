// Wires, the engine I/O pins, binding with ping-pong buffers, per-frame transfer and the pin and wire queries.
#include <gtest/gtest.h>

#include "support/TestEngine.h"

namespace {

using kvetest::EngineOptions;
using kvetest::TestEngine;

TEST(Wires, BufferFollowsTheHeaderAndHoldsWordsWhateverTheSampleSize)
{
    TestEngine engine;
    int32_t status = KVE_OK;
    // Two bytes per sample in the info word: the buffer still holds a 32-bit word per sample.
    GenericWire *w = GenericWire_Constructor(engine.get(), &status, (2u << 28) | (5u << 10) | 3, 0x20010, 7,
                                             &WireClass_Descriptor, 16000.0f);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->buffer, reinterpret_cast<char *>(w) + KVE_WIRE_HEADER_SIZE);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(w->buffer) % 16, 0u);
    EXPECT_EQ(w->guard, KVE_GUARD_WORD);
    EXPECT_EQ(w->info2, 0x20010u) << "higher bits stored as given";
    EXPECT_EQ(w->info3, 7u);
    auto *samples = static_cast<uint32_t *>(w->buffer);
    EXPECT_EQ(samples[3 * 16], KVE_GUARD_WORD) << "3 channels x 16 frames of words, then the heap's guard";

    status = -5;
    EXPECT_EQ(ClassWire_Constructor(engine.get(), &status, 0, 1, 1, 0), nullptr);
    EXPECT_EQ(status, -5) << "a failure on entry passes through";
    status = KVE_OK;
    EXPECT_EQ(ClassWire_Constructor(engine.get(), &status, 0, (4u << 28) | 1023, 0x1FFFF, 0), nullptr);
    EXPECT_EQ(status, KVE_E_HEAPS_FULL);
}

TEST(IOPins, InitialisationFollowsTheTargetInformation)
{
    EngineOptions o;
    o.inputPins = 2;
    o.outputPins = 2;
    o.inputChannels = 6;
    o.outputChannels = 4;
    o.blockSize = 48;
    TestEngine engine(o);
    const IOPin *in = engine->inputPins;
    const IOPin *out = engine->outputPins;
    EXPECT_EQ(engine->firstIOPin, in);
    EXPECT_EQ(in[0].next, &in[1]);
    EXPECT_EQ(in[1].next, &out[0]);
    EXPECT_EQ(out[1].next, nullptr);
    const uint32_t ids[] = {in[0].pinId, in[1].pinId, out[0].pinId, out[1].pinId};
    EXPECT_EQ(ids[0], 1u);
    EXPECT_EQ(ids[1], 3u);
    EXPECT_EQ(ids[2], 2u);
    EXPECT_EQ(ids[3], 4u);
    EXPECT_EQ(in[0].info1, 0x40040006u);
    EXPECT_EQ(out[0].info1, 0x40040004u);
    EXPECT_EQ(in[1].info1, 0x40040002u);
    EXPECT_EQ(in[0].info3, 0x400000u);
    EXPECT_EQ(out[0].info3, 0u);
    EXPECT_EQ(out[1].info3, 0x100000u);
    EXPECT_EQ(in[0].info2, 48u);
    EXPECT_EQ(out[0].sampleRate, 48000.0f);
    EXPECT_EQ(in[0].sampleRate, 0.0f);

    kve_fwInit_io_pins(engine.get(), 5);
    EXPECT_EQ((engine->targetInfo[2] >> 16) & 0xF, 5u);
    EXPECT_EQ(in[1].info3, 0x200000u);
    EXPECT_EQ(in[1].sampleRate, 48000.0f);
}

TEST(IOPins, BindingCodes)
{
    TestEngine engine;
    GenericWire *a = engine.wire(2, 32);
    GenericWire *b = engine.wire(2, 32);
    engine.layout(1, 1);
    int32_t status = KVE_OK;
    GenericWire *narrow = ClassWire_Constructor(engine.get(), &status, 0, (2u << 28) | 2, 32, 0);
    struct Case {
        const char *what;
        uint32_t wireId, pinId;
        int32_t expected;
    } cases[] = {
        {"unknown wire", 40, 1, KVE_E_ID_NOT_FOUND},
        {"not a wire", 3, 1, KVE_E_NOT_A_WIRE},
        {"no such pin", a->objectId, 5, KVE_E_BAD_BINDING_PIN},
        {"pin id 0", a->objectId, 0, KVE_E_BAD_BINDING_PIN},
        {"sample sizes differ", narrow->objectId, 1, KVE_E_SAMPLE_SIZE},
        {"first input binding", a->objectId, 1, KVE_OK},
        {"wire already bound", a->objectId, 2, KVE_E_WIRE_BOUND},
        {"second wire on an input pin", b->objectId, 1, KVE_E_PIN_BOUND},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BindIOToWire(engine.get(), c.wireId, c.pinId), c.expected) << c.what;
    const IOPin &pin = engine->inputPins[0];
    EXPECT_EQ(pin.bindingCount, 1u);
    EXPECT_EQ(pin.bufferA, a->buffer);
    EXPECT_NE(pin.bufferB, nullptr);
    EXPECT_EQ(a->pin, &pin);
    EXPECT_EQ(engine->ioWireList, a);
}

TEST(IOPins, AnOutputPinTakesSixteenWires)
{
    TestEngine engine;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(BindIOToWire(engine.get(), engine.wire(2, 32)->objectId, 2), KVE_OK) << i;
    EXPECT_EQ(BindIOToWire(engine.get(), engine.wire(2, 32)->objectId, 2), KVE_E_TOO_MANY_BINDINGS);
    EXPECT_EQ(engine->outputPins[0].bindingCount, 16u);
}

TEST(IOPins, DestroyRemovesOnlyThisInstancesBindings)
{
    TestEngine engine;
    GenericWire *mine = engine.wire(2, 32);
    engine->instanceTag = 7;
    GenericWire *other = engine.wire(2, 32);
    ASSERT_EQ(BindIOToWire(engine.get(), other->objectId, 2), KVE_OK);
    engine->instanceTag = 0;
    ASSERT_EQ(BindIOToWire(engine.get(), mine->objectId, 2), KVE_OK);
    kve_fwDestroy(engine.get());
    const IOPin &pin = engine->outputPins[0];
    ASSERT_EQ(pin.bindingCount, 1u);
    EXPECT_EQ(pin.bindings[0].owner, 7u);
    EXPECT_EQ(engine->ioWireList, nullptr);
}

TEST(IOPins, PingPongBuffersSwapWhenABlockOfFramesIsComplete)
{
    TestEngine engine;
    GenericWire *in = engine.wire(2, 4);
    GenericWire *out = engine.wire(2, 4);
    ASSERT_EQ(BindIOToWire(engine.get(), in->objectId, 1), KVE_OK);
    ASSERT_EQ(BindIOToWire(engine.get(), out->objectId, 2), KVE_OK);
    engine.layout(0, 1);
    engine.layout(0, 2);
    IOPin &pinIn = engine->inputPins[0];
    IOPin &pinOut = engine->outputPins[0];

    kve_fwAudioInitIO(engine.get());
    EXPECT_EQ(in->buffer, pinIn.bufferB);
    EXPECT_EQ(out->buffer, pinOut.bufferB);

    uint32_t stride = 0;
    auto *ch1 = static_cast<uint32_t *>(kve_fwGetInputChannelPtr(engine.get(), 0, 1, &stride));
    EXPECT_EQ(stride, 2u);
    EXPECT_EQ(ch1, static_cast<uint32_t *>(pinIn.bufferB) + 1);
    EXPECT_EQ(kve_fwAudioDMAComplete(engine.get(), 0, 3), 0u);
    ch1 = static_cast<uint32_t *>(kve_fwGetInputChannelPtr(engine.get(), 0, 1, &stride));
    EXPECT_EQ(ch1, static_cast<uint32_t *>(pinIn.bufferB) + 2 * 3 + 1);
    EXPECT_EQ(kve_fwGetOutputChannelPtr(engine.get(), 0, 0, &stride), static_cast<uint32_t *>(pinOut.bufferB) + 6);

    void *oldA = pinIn.bufferA, *oldB = pinIn.bufferB;
    EXPECT_EQ(kve_fwAudioDMAComplete(engine.get(), 0, 1), 0x3u) << "both layouts due on the first block";
    EXPECT_EQ(pinIn.samplesDone, 0u);
    EXPECT_EQ(in->buffer, oldB);
    EXPECT_EQ(pinIn.bufferA, oldB);
    EXPECT_EQ(pinIn.bufferB, oldA);
    EXPECT_EQ(kve_fwAudioDMAComplete(engine.get(), 0, 4), 0x1u) << "the divider-2 layout rests";

    EXPECT_EQ(kve_fwAudioDMAComplete(engine.get(), 3, 4), 0u) << "no such pin";
    EXPECT_EQ(kve_fwGetInputChannelPtr(engine.get(), 3, 0, &stride), nullptr);
    EXPECT_EQ(kve_fwGetOutputChannelPtr(engine.get(), 1, 0, &stride), nullptr);

    kve_fwPrePump(engine.get());
    EXPECT_EQ(in->buffer, pinIn.bufferA);
}

TEST(IOPins, QueriesDescribePinsWiresAndChannelCounts)
{
    TestEngine engine;
    kve_SetPackedName(engine->inputPins[0].name, "Input");
    GenericWire *in = engine.wire(3, 16, 9);
    ASSERT_EQ(BindIOToWire(engine.get(), in->objectId, 1), KVE_OK);

    uint32_t inCh = 9, outCh = 9;
    EXPECT_EQ(kve_fwGetChannelCount(engine.get(), &inCh, &outCh), 0u);
    EXPECT_EQ(inCh, 3u);
    EXPECT_EQ(outCh, 0u);
    EXPECT_EQ(kve_fwGetInputBlockSize(engine.get(), 0), 16u);
    EXPECT_EQ(kve_fwGetInputBlockSize(engine.get(), 1), 0u);
    EXPECT_EQ(kve_fwGetInputSampleRate(engine.get(), 0), 48000.0f);

    IOPin *pin = nullptr;
    uint32_t cls, rate, i1, i2, i3, n1, n2, wireId;
    ASSERT_EQ(kve_fwGetFirstIO(engine.get(), &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2), KVE_OK);
    EXPECT_EQ(cls, KVE_CLASS_INPUT_PIN);
    EXPECT_EQ(n1, 0x75706E49u) << "'I' in the low byte";
    EXPECT_EQ(n2, 0x74u);
    ASSERT_EQ(kve_fwGetNextIO(engine.get(), 1, &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2), KVE_OK);
    EXPECT_EQ(cls, KVE_CLASS_OUTPUT_PIN);
    EXPECT_EQ(kve_fwGetNextIO(engine.get(), 2, &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2), KVE_E_NO_MORE_PINS);
    EXPECT_EQ(kve_fwGetNextIO(engine.get(), 4, &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2), KVE_E_NOT_AN_OBJECT);
    ASSERT_EQ(kve_fwGetPinType(engine.get(), 1, &cls, &wireId, &rate, &i1, &i2, &i3, &n1, &n2), KVE_OK);
    EXPECT_EQ(wireId, in->objectId);
    EXPECT_EQ(kve_fwGetPinType(engine.get(), 3, &cls, &wireId, &rate, &i1, &i2, &i3, &n1, &n2), KVE_E_NOT_AN_OBJECT);

    ASSERT_EQ(kve_fwGetWireType(engine.get(), in->objectId, &cls, &rate, &i1, &i2, &i3), KVE_OK);
    EXPECT_EQ(i1, (4u << 28) | 3);
    EXPECT_EQ(i3, 9u);
    EXPECT_EQ(rate, kvetest::bitsOf(48000.0f));
    engine.layout(1, 1);
    EXPECT_EQ(kve_fwGetWireType(engine.get(), 2, &cls, &rate, &i1, &i2, &i3), KVE_E_NOT_A_WIRE);
    EXPECT_EQ(kve_fwGetWireType(engine.get(), 9, &cls, &rate, &i1, &i2, &i3), KVE_E_ID_NOT_FOUND);
}

} // namespace
