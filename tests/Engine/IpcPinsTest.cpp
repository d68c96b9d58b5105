// Inter-instance pins as far as the library alone takes them: its own core lookup answers null, so every call that
// needs an instance's core refuses; the buffer exchange and the attachment need no core.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "kve/kve_ipc.h"
#include "kve/kve_packet.h"
#include "support/TestEngine.h"

namespace {

using kvetest::EngineOptions;
using kvetest::TestEngine;

int g_allocations = 0;
void *countingAllocate(uint32_t bytes)
{
    ++g_allocations;
    return ::operator new(bytes);
}
int32_t plainRelease(void *buffer)
{
    ::operator delete(buffer);
    return 0;
}

// Two engines, the first one's output pin 0 feeding the second one's input pin 1.
struct PinPair {
    TestEngine a;
    TestEngine b{EngineOptions{.inputPins = 2}};
    IpcPin record{};
    IOPin &sink() { return a->outputPins[0]; }
    IOPin &source() { return b->inputPins[1]; }
    PinPair()
    {
        a->instanceTag = 1;
        b->instanceTag = 2;
        IpcPinConstructor(&record, 0, &source(), &sink(), countingAllocate, plainRelease);
    }
    ~PinPair() { IpcPinDestroy(&record); }
    void bindBoth(uint32_t sinkBlock = 32, uint32_t sourceBlock = 32)
    {
        ASSERT_EQ(BindIOToWire(a.get(), a.wire(2, sinkBlock)->objectId, sink().pinId), KVE_OK);
        ASSERT_EQ(BindIOToWire(b.get(), b.wire(2, sourceBlock)->objectId, source().pinId), KVE_OK);
    }
};

TEST(InterInstancePins, EveryCallRefusesANullRecord)
{
    int32_t words[4] = {};
    const std::vector<std::function<int32_t()>> calls = {
        [] { return IpcPinConstructor(nullptr, 0, nullptr, nullptr, nullptr, nullptr); },
        [] { return IpcPinDestroy(nullptr); },
        [] { return IpcPinSetupAsrc(nullptr, nullptr, 48000, 48000, 8); },
        [] { return IpcPinInitAsrc(nullptr, 32, 32, 2); },
        [] { return IpcPinDestroyAsrc(nullptr); },
        [] { return IpcPinNotify(nullptr, nullptr, IPC_PIN_BOUND); },
        [] { return IpcPinFlip(nullptr); },
        [&] { return IpcPinReadSinkSamples(nullptr, words); },
        [&] { return IpcPinWriteSourceSamples(nullptr, 4, words); },
        [&] { return IpcPinPumpSourcePin(nullptr, words); },
        [&] { return ASRCReadSamples(nullptr, words, 1); },
        [&] { return ASRCWriteSamples(nullptr, words, 1); },
    };
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i](), -1) << "call " << i;
    EXPECT_EQ(IpcPinBothBound(nullptr), 0);
}

TEST(InterInstancePins, ConstructionAttachesBothPinsAndDestructionDetachesThem)
{
    PinPair p;
    EXPECT_EQ(p.source().ipcContext, &p.record);
    EXPECT_EQ(p.sink().ipcContext, &p.record);
    EXPECT_EQ(p.record.blockMultiplier, 1u);
    EXPECT_EQ(p.record.cubic, 0u);
    EXPECT_EQ(IpcPinBothBound(&p.record), 0);
    p.bindBoth();
    EXPECT_EQ(IpcPinBothBound(&p.record), 1);
    EXPECT_EQ(IpcPinDestroy(&p.record), 0);
    EXPECT_EQ(p.source().ipcContext, nullptr);
    EXPECT_EQ(p.sink().ipcContext, nullptr);
    EXPECT_EQ(p.record.sourcePin, nullptr);

    IpcPin other{};
    EXPECT_EQ(IpcPinConstructor(&other, 0, &p.source(), nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(p.source().ipcContext, nullptr);
}

TEST(InterInstancePins, WithTheLibrarysOwnLookupNothingNeedingACoreRuns)
{
    EXPECT_EQ(kve_pltGetCore(nullptr, 1), nullptr);
    PinPair p;
    g_allocations = 0;
    qirn_asrc_props props{};
    ASSERT_EQ(IpcPinSetupAsrc(&p.record, &props, 48000, 48000, 8), 0);
    p.bindBoth();
    EXPECT_EQ(IpcPinNotify(&p.record, &p.source(), IPC_PIN_BOUND), -1);
    EXPECT_EQ(p.record.converterBuffer, nullptr);
    EXPECT_EQ(g_allocations, 0);

    auto *received = static_cast<int32_t *>(p.source().bindings[0].wire->buffer);
    received[0] = 77;
    std::vector<int32_t> block(64, 5);
    EXPECT_EQ(IpcPinPumpSourcePin(&p.record, block.data()), -1);
    EXPECT_EQ(IpcPinWriteSourceSamples(&p.record, 64, block.data()), -1);
    EXPECT_EQ(IpcPinReadSinkSamples(&p.record, block.data()), 0);
    EXPECT_EQ(received[0], 77);
    EXPECT_EQ(block[0], 5);
    EXPECT_EQ(ASRCReadSamples(&p.record, block.data(), 1), -1) << "no converter to read";
    kve_fwDestroy(p.a.get());
    kve_fwDestroy(p.b.get());
    EXPECT_EQ(IpcPinBothBound(&p.record), 0);
}

// The source pin trades its buffers, then the sink takes the pair crosswise: what one instance writes into its
// buffer A is what the other reads from its buffer B.
TEST(InterInstancePins, FlipSharesOnePingPongPairCrosswise)
{
    PinPair p;
    p.bindBoth();
    void *sourceA = p.source().bufferA;
    void *sourceB = p.source().bufferB;
    ASSERT_EQ(IpcPinFlip(&p.record), 0);
    EXPECT_EQ(p.source().bufferA, sourceB);
    EXPECT_EQ(p.source().bufferB, sourceA);
    EXPECT_EQ(p.sink().bufferB, sourceB);
    EXPECT_EQ(p.sink().bufferA, sourceA);
}

TEST(InterInstancePins, FlipRefusesPinsThatCannotShareBuffers)
{
    struct Case {
        const char *what;
        bool bindSink;
        uint32_t sinkBlock;
    };
    for (const Case &c : {Case{"sink unbound", false, 32}, Case{"blocks of two sizes", true, 16}}) {
        PinPair p;
        if (c.bindSink) {
            ASSERT_EQ(BindIOToWire(p.a.get(), p.a.wire(2, c.sinkBlock)->objectId, p.sink().pinId), KVE_OK);
        }
        ASSERT_EQ(BindIOToWire(p.b.get(), p.b.wire(2, 32)->objectId, p.source().pinId), KVE_OK);
        const IOPin source = p.source();
        const IOPin sink = p.sink();
        EXPECT_EQ(IpcPinFlip(&p.record), -1) << c.what;
        EXPECT_EQ(p.source().bufferA, source.bufferA) << c.what;
        EXPECT_EQ(p.source().bufferB, source.bufferB) << c.what;
        EXPECT_EQ(p.sink().bufferA, sink.bufferA) << c.what;
        EXPECT_EQ(p.sink().bufferB, sink.bufferB) << c.what;
    }
}

} // namespace
