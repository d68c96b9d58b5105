// A platform that runs two engine instances in one process and joins them through an inter-instance pin. It defines
// its own kve_pltGetCore, which takes the library's place at load: every test here depends on the library calling
// this one.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "kve/kve_ipc.h"
#include "kve/kve_packet.h"
#include "support/TestEngine.h"

namespace {

using kvetest::EngineOptions;
using kvetest::TestEngine;

constexpr uint64_t kContext = 0x5EED;

// The platform's core of one instance: its operations copy words into and out of the instance's wires.
struct Core {
    IpcCore handle;
    std::vector<uint32_t> wordsWritten; // word count of each write, in order
};

int32_t writeWire(void *core, GenericWire *wire, uint32_t words, const int32_t *samples)
{
    static_cast<Core *>(core)->wordsWritten.push_back(words);
    std::memcpy(wire->buffer, samples, words * sizeof *samples);
    return 0;
}
int32_t readWire(void *, GenericWire *wire, uint32_t words, int32_t *buffer)
{
    std::memcpy(buffer, wire->buffer, words * sizeof *buffer);
    return 0;
}
uint32_t wireChannels(void *, GenericWire *wire) { return KVE_WIRE_CHANNELS(wire->info1); }
uint32_t wireWords(void *core, GenericWire *wire)
{
    return wireChannels(core, wire) * KVE_WIRE_BLOCK_SIZE(wire->info2);
}

const IpcCoreOps kOps = {{}, writeWire, readWire, wireWords, wireChannels};

std::map<uint32_t, Core> g_cores; // by instance tag
int g_lookups = 0;

// Memory for the converter ring: what was asked for and what is still out.
struct Ring {
    static inline std::vector<uint32_t> asked;
    static inline int live = 0;
    static inline bool refuse = false;
    static void *allocate(uint32_t bytes)
    {
        asked.push_back(bytes);
        if (refuse)
            return nullptr;
        ++live;
        return ::operator new(bytes);
    }
    static int32_t release(void *buffer)
    {
        --live;
        ::operator delete(buffer);
        return 0;
    }
};

} // namespace

extern "C" void *kve_pltGetCore(void *context, uint32_t ownerTag)
{
    ++g_lookups;
    if (reinterpret_cast<uintptr_t>(context) != kContext)
        return nullptr;
    auto it = g_cores.find(ownerTag);
    return it != g_cores.end() ? &it->second.handle : nullptr;
}

namespace {

// Engine A's output pin 0 feeds engine B's input pin 1, a pin whose info word 3 lets the pump run (bit 20).
class TwoInstances : public ::testing::Test {
protected:
    static constexpr uint32_t kChannels = 2;
    static constexpr uint32_t kBlock = 32;
    static constexpr uint32_t kWords = kChannels * kBlock;

    TestEngine a;
    TestEngine b{EngineOptions{.inputPins = 2}};
    IpcPin record{};
    std::vector<int32_t> buffer = std::vector<int32_t>(kWords);

    IOPin &sink() { return a->outputPins[0]; }
    IOPin &source() { return b->inputPins[1]; }

    void SetUp() override
    {
        a->instanceTag = 1;
        b->instanceTag = 2;
        g_cores.clear();
        g_cores[1] = Core{{&kOps}, {}};
        g_cores[2] = Core{{&kOps}, {}};
        g_lookups = 0;
        Ring::asked.clear();
        Ring::live = 0;
        Ring::refuse = false;
        IpcPinConstructor(&record, kContext, &source(), &sink(), Ring::allocate, Ring::release);
    }
    void TearDown() override
    {
        IpcPinDestroy(&record);
        EXPECT_EQ(Ring::live, 0) << "every converter ring released";
    }

    GenericWire *bindSink()
    {
        GenericWire *w = a.wire(kChannels, kBlock);
        EXPECT_EQ(BindIOToWire(a.get(), w->objectId, sink().pinId), KVE_OK);
        return w;
    }
    GenericWire *bindSource()
    {
        GenericWire *w = b.wire(kChannels, kBlock);
        EXPECT_EQ(BindIOToWire(b.get(), w->objectId, source().pinId), KVE_OK);
        return w;
    }
    static std::vector<int32_t> wordsOf(const GenericWire *w)
    {
        const auto *p = static_cast<const int32_t *>(w->buffer);
        return {p, p + kWords};
    }
    // Arms the converter: 8 frames of extra length, rate over divisor 1.
    void setUpConverter()
    {
        ASSERT_EQ(IpcPinSetupAsrc(&record, &props, 48000, 48000, 8), 0);
    }

    // One phase, four taps of 1/4 in every row; the loop filter's state holds its output at 1, the nominal step.
    std::vector<int32_t> coefficients = std::vector<int32_t>(4 * 4, 1 << 29);
    float zeros[4] = {};
    float identity[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    float first[2] = {1.0f, 0.0f};
    qirn_asrc_props props{int64_t{1} << 32, coefficients.data(), 48000.0f, 48000.0f, 18000.0f, 4, 1, 4, 16,
                          identity, zeros, first, zeros, first, 0.0f};
};

TEST_F(TwoInstances, TheLibraryCallsThePlatformsLookup)
{
    bindSink();
    bindSource();
    ASSERT_EQ(IpcPinReadSinkSamples(&record, buffer.data()), static_cast<int32_t>(kWords));
    EXPECT_GT(g_lookups, 0);
}

TEST_F(TwoInstances, WithoutAConverterEveryPumpDeliversTheSinkBlockBitForBit)
{
    ASSERT_EQ(source().info3 & 0x100000u, 0x100000u);
    GenericWire *out = bindSink();
    GenericWire *in = bindSource();
    EXPECT_EQ(record.converterBuffer, nullptr);
    std::mt19937 random(14);
    for (int pump = 0; pump < 5; ++pump) {
        auto *written = static_cast<int32_t *>(out->buffer);
        for (uint32_t i = 0; i < kWords; ++i)
            written[i] = static_cast<int32_t>(random());
        ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), 0);
        EXPECT_EQ(wordsOf(in), wordsOf(out)) << "pump " << pump;
    }
}

TEST_F(TwoInstances, ThePumpSendsSilenceWithoutASinkAndNothingWithoutItsInfoBits)
{
    GenericWire *in = bindSource();
    std::fill_n(static_cast<int32_t *>(in->buffer), kWords, 9);
    buffer.assign(kWords, 3);
    ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), 0);
    EXPECT_EQ(wordsOf(in), std::vector<int32_t>(kWords, 0));

    std::fill_n(static_cast<int32_t *>(in->buffer), kWords, 9);
    source().info3 = 0x400000u;
    ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), 0);
    EXPECT_EQ(wordsOf(in), std::vector<int32_t>(kWords, 9));
}

TEST_F(TwoInstances, AnInstanceThePlatformDoesNotKnowStopsEveryCall)
{
    GenericWire *out = bindSink();
    GenericWire *in = bindSource();
    std::fill_n(static_cast<int32_t *>(out->buffer), kWords, 4);
    g_cores.erase(1);
    ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), -1);
    EXPECT_EQ(wordsOf(in), std::vector<int32_t>(kWords, 0));
    EXPECT_EQ(IpcPinReadSinkSamples(&record, buffer.data()), 0);
    g_cores.erase(2);
    EXPECT_EQ(IpcPinWriteSourceSamples(&record, kWords, buffer.data()), -1);
}

TEST_F(TwoInstances, WritingTheSourceStopsAtEachWiresWords)
{
    // An output pin of B with a short and a long wire is the source this time.
    IOPin &wide = b->outputPins[0];
    IpcPinConstructor(&record, kContext, &wide, &sink(), nullptr, nullptr);
    ASSERT_EQ(BindIOToWire(b.get(), b.wire(1, 8)->objectId, wide.pinId), KVE_OK);
    ASSERT_EQ(BindIOToWire(b.get(), b.wire(2, 32)->objectId, wide.pinId), KVE_OK);
    ASSERT_EQ(IpcPinWriteSourceSamples(&record, kWords, buffer.data()), 0);
    EXPECT_EQ(g_cores[2].wordsWritten, (std::vector<uint32_t>{8, kWords}));
}

TEST_F(TwoInstances, AFailedRingAllocationLeavesAPlainCopy)
{
    setUpConverter();
    Ring::refuse = true;
    GenericWire *out = bindSink();
    GenericWire *in = bindSource();
    EXPECT_EQ(Ring::asked.size(), 1u);
    EXPECT_EQ(record.converterBuffer, nullptr);
    std::fill_n(static_cast<int32_t *>(out->buffer), kWords, -6);
    ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), 0);
    EXPECT_EQ(wordsOf(in), wordsOf(out));

    // The pin hears of a binding the engine refuses as well, and builds the converter it still lacks.
    Ring::refuse = false;
    EXPECT_EQ(BindIOToWire(b.get(), b.wire(kChannels, kBlock)->objectId, source().pinId), KVE_E_PIN_BOUND);
    EXPECT_NE(record.converterBuffer, nullptr);
}

// With 8 frames of extra length, rate over divisor 1 and 32-frame blocks on both sides (f = 32): the ring is
// 8 + 1 + 6 x 32 = 201 frames with a guard of 8 + 32 + 2 = 42, two channels of 4-byte words, and starts with
// 2f = 64 frames of silence.
constexpr uint32_t kRingBytes = (201 + 42) * 2 * 4;
constexpr int32_t kFreeAfterPrefill = 201 - 64 - 1;

TEST_F(TwoInstances, BindingBothSidesBuildsTheConverterAndLosingOneReleasesIt)
{
    setUpConverter();
    bindSink();
    EXPECT_EQ(record.converterBuffer, nullptr) << "one side bound";
    bindSource();
    ASSERT_NE(record.converterBuffer, nullptr);
    EXPECT_EQ(Ring::asked, std::vector<uint32_t>{kRingBytes});
    EXPECT_EQ(record.converter.length, 201u);
    EXPECT_EQ(qirn_asrc_input_avail(&record.converter), kFreeAfterPrefill);

    kve_fwDestroy(a.get());
    EXPECT_EQ(record.converterBuffer, nullptr);
    EXPECT_EQ(Ring::live, 0);

    bindSink();
    ASSERT_NE(record.converterBuffer, nullptr);
    EXPECT_EQ(Ring::asked.size(), 2u);
    EXPECT_EQ(qirn_asrc_input_avail(&record.converter), kFreeAfterPrefill);

    kve_fwDestroy(b.get());
    EXPECT_EQ(record.converterBuffer, nullptr);
    EXPECT_EQ(Ring::live, 0);
}

// Rows summing to 1 at the nominal step pass a constant through unchanged once the reader's four taps have left the
// 2f = 64 frames of pre-filled silence: frames 0 .. 60 are silent, frames from 64 on carry the constant.
TEST_F(TwoInstances, ThePumpDeliversTheSinkThroughTheConverterAfterThePrefill)
{
    setUpConverter();
    bindSink();
    GenericWire *in = bindSource();
    ASSERT_NE(record.converterBuffer, nullptr);
    constexpr int32_t kLevel = 1 << 28;
    for (uint32_t block = 0; block < 4; ++block) {
        buffer.assign(kWords, kLevel);
        ASSERT_EQ(IpcPinReadSinkSamples(&record, buffer.data()), static_cast<int32_t>(kWords));
        ASSERT_EQ(IpcPinPumpSourcePin(&record, buffer.data()), 0);
        const std::vector<int32_t> received = wordsOf(in);
        for (uint32_t i = 0; i < kWords; ++i) {
            const uint32_t frame = block * kBlock + i / kChannels;
            if (frame <= 60) {
                EXPECT_EQ(received[i], 0) << "frame " << frame;
            } else if (frame >= 64) {
                EXPECT_EQ(received[i], kLevel) << "frame " << frame;
            }
        }
    }
    EXPECT_EQ(record.converter.step, int64_t{1} << 32) << "the loop filter holds the nominal step";
    EXPECT_EQ(g_cores[2].wordsWritten, std::vector<uint32_t>(4, kWords));
}

// Sizes the ring cannot take build no converter and ask for no memory.
TEST_F(TwoInstances, RingSizesOutOfRangeBuildNoConverter)
{
    struct Case {
        const char *what;
        uint32_t extra, rate, divisor;
        int32_t sourceFrames, sinkFrames, channels;
    };
    const Case cases[] = {
        {"no channels", 8, 48000, 48000, 32, 32, 0},
        {"length not positive", 0xFFFFFF00u, 48000, 48000, 32, 32, 2},
        {"guard not positive", 8, 48000, 48000, -32, 32, 2},
        {"ring past 2^31 bytes", 0x20000000u, 48000, 48000, 32, 32, 2},
        {"lead past 2^31 bytes", 8, 0x7FFFFFFF, 1, 0x7FFFFFFF, 0, 2},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(IpcPinSetupAsrc(&record, &props, c.rate, c.divisor, c.extra), 0);
        EXPECT_EQ(IpcPinInitAsrc(&record, c.sourceFrames, c.sinkFrames, c.channels), -1) << c.what;
        EXPECT_EQ(record.converterBuffer, nullptr) << c.what;
    }
    EXPECT_TRUE(Ring::asked.empty());
    ASSERT_EQ(IpcPinSetupAsrc(&record, &props, 48000, 48000, 8), 0);
    EXPECT_EQ(IpcPinInitAsrc(&record, 32, 32, 2), 0);
    EXPECT_EQ(Ring::asked, std::vector<uint32_t>{kRingBytes});
}

} // namespace
