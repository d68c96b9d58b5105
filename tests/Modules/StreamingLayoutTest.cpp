// A stream as a host runs it: a layout built by command packets through the library interface, the host writing
// messages through value writes between pumps and reading the stream's state back, the source playing the stream
// out of the output pin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace {

constexpr uint32_t kFileStreaming = 0xBEEF0FDBu;
constexpr uint32_t kRawStreamingSource = 0xBEEF0FF2u;
constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlock = 8;
constexpr uint32_t kWords = kChannels * kBlock;
constexpr uint32_t kMsg = 32;
constexpr uint32_t kMessages = 20;

// Member addresses of the stream's variables (member 8 + k) and of its message area.
constexpr uint32_t member(uint32_t id, uint32_t variable) { return KVE_MEMBER_ADDRESS(id, 8 + variable); }
constexpr uint32_t kStateVariable = 8;
constexpr uint32_t kAckVariable = 9;
constexpr uint32_t kMsgBufferVariable = 13;

TEST(StreamingLayout, HostWrittenMessagesPlayOutOfTheOutputPin)
{
    kvepackets::LayoutStream s;
    s.lookupTable(16);
    const uint32_t in = s.wire(kChannels, kBlock);
    const uint32_t id = s.wire(1, 1);
    const uint32_t out = s.wire(kChannels, kBlock);
    const uint32_t stream = s.module(kFileStreaming, 0x100, {id}, {kMsg, 256, 64, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0});
    const uint32_t source = s.module(kRawStreamingSource, 0x101, {id, out}, {0, 0});
    s.place(s.layout(2), 0, {stream, source});
    s.bind(in, kvepackets::inputPin(0)).bind(out, kvepackets::outputPin(0));
    s.start();

    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->CreateEx("stream", 0.0f, 0.0f, false, kBlock, 0, kChannels, kChannels), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    lib->SetLayoutAddresses(in, out, 0);

    // Samples of a tone that never crosses zero, so that silence is told from sound.
    std::vector<_Sample> sent(kMessages * kMsg);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i].f = static_cast<float>(0.5 + 0.25 * std::sin(2.0 * M_PI * static_cast<double>(i) / 37.0));

    const uint32_t area = member(stream, kMsgBufferVariable) | KVE_MEMBER_DEREF;
    std::vector<_Sample> silence(kWords), pumped(kWords), played;
    uint32_t next = 0;
    for (uint32_t block = 0; block < 3 * kMessages; ++block) {
        _Sample header{};
        ASSERT_EQ(lib->FetchValues(area, 1, &header, kMsg), 0);
        if (header.u == 0 && next < kMessages) {
            ASSERT_EQ(lib->SetValues(area, kMsg, &sent[next * kMsg], 0), 0);
            const uint32_t kind = next == 0 ? 1 : (next + 1 == kMessages ? 3 : 2);
            header.u = kind << 24 | 4 * kMsg;
            ASSERT_EQ(lib->SetValues(area, 1, &header, kMsg), 0);
            ++next;
        }
        ASSERT_EQ(lib->PumpAudio(silence.data(), pumped.data(), kWords, kWords), 0);
        int32_t status = 0;
        if (block == 0) {
            EXPECT_EQ(lib->FetchValue(member(stream, kAckVariable), &status).u, 1u);
            EXPECT_EQ(lib->FetchValue(member(stream, kStateVariable), &status).u, 7u);
        }
        for (const _Sample &v : pumped)
            if (v.u != 0 || !played.empty())
                played.push_back(v);
    }
    int32_t status = 0;
    EXPECT_EQ(lib->FetchValue(member(stream, kStateVariable), &status).u, 4u) << "idle once played out";
    EXPECT_EQ(lib->FetchValue(member(source, 0), &status).u, 0u) << "no underflow: the host sent faster";
    ASSERT_GE(played.size(), sent.size());
    for (size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i].u, i < sent.size() ? sent[i].u : 0u) << "word " << i;
}

TEST(StreamingLayout, PackSchemaNamesThePackAndItsClasses)
{
    const KVEPackSchema *schema = MODULE_PREFIXGetSchema();
    ASSERT_NE(schema, nullptr);
    EXPECT_STREQ(schema->name, "Standard");
    EXPECT_EQ(schema->classCount, g_module_descriptor_count);
}

} // namespace
