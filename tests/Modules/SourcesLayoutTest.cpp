// Host-fed sources and sinks as a host runs them: a layout built by command packets through the library interface,
// pumped with PumpAudio block after block, while the host writes a Source's array and reads a Sink's through member
// addresses. The Source's block is added to the pumped input, and the Sink keeps the sum channel-major.
#include <gtest/gtest.h>

#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace {

constexpr uint32_t kSource = 0xBEEF086Fu;
constexpr uint32_t kSink = 0xBEEF086Du;
constexpr uint32_t kAdder = 0xBEEF082Cu;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlock = 8;
constexpr uint32_t kWords = kChannels * kBlock;

// Member index of a module's variable k: the header's eight members come first.
constexpr uint32_t member(uint32_t id, uint32_t variable) { return KVE_MEMBER_ADDRESS(id, 8 + variable); }

TEST(SourcesLayout, HostWritesSourceArrayAndReadsSinkArrayAroundPumpedBlocks)
{
    kvepackets::LayoutStream s;
    s.lookupTable(16);
    const uint32_t x = s.wire(kChannels, kBlock);
    const uint32_t fed = s.wire(kChannels, kBlock);
    const uint32_t y = s.wire(kChannels, kBlock);
    const uint32_t source = s.module(kSource, 0x100, {fed});
    const uint32_t adder = s.module(kAdder, 0x102, {x, fed, y}, {0});
    const uint32_t sink = s.module(kSink, 0x1, {y}, {0});
    s.place(s.layout(3), 0, {source, adder, sink});
    s.bind(x, kvepackets::inputPin(0)).bind(y, kvepackets::outputPin(0));
    s.start();

    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->CreateEx("sources", 0.0f, 0.0f, false, kBlock, 0, kChannels, kChannels), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    lib->SetLayoutAddresses(x, y, 0);

    std::vector<_Sample> in(kWords), out(kWords), host(kWords), kept(kWords);
    for (uint32_t block = 0; block < 3; ++block) {
        // The host's block, channel-major: channel c, frame t.
        for (uint32_t c = 0; c < kChannels; ++c)
            for (uint32_t t = 0; t < kBlock; ++t)
                host[c * kBlock + t].f = static_cast<float>(100 * (c + 1) + 10 * block + t);
        ASSERT_EQ(lib->SetValues(member(source, 0), kWords, host.data(), 0), 0);
        for (uint32_t i = 0; i < kWords; ++i)
            in[i].f = 0.5f * static_cast<float>(i);
        ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kWords, kWords), 0);
        ASSERT_EQ(lib->FetchValues(member(sink, 1), kWords, kept.data(), 0), 0);
        for (uint32_t t = 0; t < kBlock; ++t)
            for (uint32_t c = 0; c < kChannels; ++c) {
                const float sum = in[t * kChannels + c].f + host[c * kBlock + t].f;
                EXPECT_EQ(out[t * kChannels + c].f, sum) << "block " << block << " frame " << t << " channel " << c;
                EXPECT_EQ(kept[c * kBlock + t].f, sum) << "block " << block << " frame " << t << " channel " << c;
            }
    }
    // The arrays hold one block of every channel, and no more is reached through them.
    EXPECT_EQ(lib->SetValues(member(source, 0), 1, host.data(), kWords), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(lib->FetchValues(member(sink, 1), 2, kept.data(), kWords - 1), KVE_E_BAD_ARGUMENT);
    // The Sink's reserved pair stays as it was allocated.
    ASSERT_EQ(lib->FetchValues(member(sink, 2), 2, kept.data(), 0), 0);
    EXPECT_EQ(kept[0].u, 0u);
    EXPECT_EQ(kept[1].u, 0u);
}

} // namespace
