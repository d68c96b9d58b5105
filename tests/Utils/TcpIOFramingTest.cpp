// How both server channels read texts and framed messages from a peer over a loopback connection: message
// boundaries whatever the receives, messages cut by the peer, lengths that cannot be held, and the queue reads.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TcpPeer.h"
#include "kve/kve_tcp.h"

namespace {

using tcptest::frame;
using tcptest::framed;

struct ReadCase {
    const char *name;
    std::string bytes;
    std::vector<size_t> cuts;
    std::vector<std::string> messages;
};

// The cases for a channel whose receive buffer holds `capacity` bytes. Each ends with the peer closing, so each
// ends with exactly one disconnect.
std::vector<ReadCase> readCases(size_t capacity)
{
    const std::string body20 = "twenty bytes of body";
    const std::string header10 = frame("\xAA\xBB"); // its length byte is a line feed
    const std::string fullText(capacity, 'x');
    const std::string fullFrame = frame(std::string(capacity - kTcpHeaderBytes, 'f'));
    return {
        {"one text", "hello\n", {}, {"hello"}},
        {"two texts in one receive", "ab\ncdefghij\n", {}, {"ab", "cdefghij"}},
        {"texts shorter than a header, then a close", "a\nb\n", {}, {"a", "b"}},
        {"carriage return kept", "ab\r\n", {}, {"ab\r"}},
        {"frame in three chunks", frame(body20), {3, 10}, {frame(body20)}},
        {"header holding a line feed, in 6 + 4", header10, {6}, {header10}},
        {"header alone", frame(""), {}, {frame("")}},
        {"text, frame and text in one receive", "ab\n" + frame(body20) + "cd\n", {}, {"ab", frame(body20), "cd"}},
        {"frame then text across receives", frame(body20) + "after\n", {5, 30}, {frame(body20), "after"}},
        {"empty line ends the connection", "\nlate\n", {1}, {}},
        {"text cut by the close", "hello", {}, {"hello"}},
        {"frame cut by the close", frame(body20).substr(0, 12), {}, {}},
        {"header prefix cut by the close", frame(body20).substr(0, 3), {}, {}},
        {"total length 0", framed(0, "abcd"), {}, {}},
        {"total length 4", framed(4, "abcd"), {}, {}},
        {"total length of the whole buffer", fullFrame + "next\n", {}, {fullFrame, "next"}},
        {"total length one above the buffer", framed(static_cast<uint32_t>(capacity + 1), std::string(64, 'b')), {}, {}},
        {"total length 0x7FFFFFFF", framed(0x7FFFFFFF, std::string(64, 'b')), {}, {}},
        {"text of the whole buffer", fullText + "\nnext\n", {}, {fullText, "next"}},
        {"text one above the buffer without a line feed", fullText + "y", {}, {}},
        {"text longer than the buffer, then a line feed", fullText + std::string(100, 'y') + "\nnext\n", {}, {}},
        {"zero byte ends a text, later ones kept", std::string("ab\0cd\nef\n", 9), {}, {"ab", "ef"}},
    };
}

template <class Channel>
class TcpFraming : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.attach(*channel);
        port = tcptest::freePort();
        ASSERT_EQ(channel->CreateListenerSocket(port), 0);
    }
    void TearDown() override { channel->KillListener(); }

    std::vector<std::string> drain()
    {
        std::vector<std::string> messages;
        while (channel->GetMessageCount() > 0)
            messages.push_back(channel->GetMessage());
        return messages;
    }

    std::unique_ptr<Channel> channel = std::make_unique<Channel>();
    tcptest::CallbackLog log;
    int32_t port = 0;
};

using Channels = ::testing::Types<CTcpIO, CTcpIO2>;
TYPED_TEST_SUITE(TcpFraming, Channels);

TYPED_TEST(TcpFraming, DeliversEachMessageWholeAndDropsWhatCannotBeHeld)
{
    // One listener serves every case in turn: after a cut or refused message the next peer is served.
    size_t disconnects = 0;
    for (const ReadCase &c : readCases(TypeParam::kReceiveBytes)) {
        SCOPED_TRACE(c.name);
        tcptest::sendFromPeer(this->port, c.bytes, c.cuts);
        ++disconnects;
        ASSERT_TRUE(tcptest::waitUntil([&] { return this->log.count("d") == disconnects; }));
        EXPECT_EQ(this->drain(), c.messages);
    }
}

TYPED_TEST(TcpFraming, CallsBackWithTheQueueSizeThenTheDisconnect)
{
    tcptest::sendFromPeer(this->port, "first message\nsecond message\nthird message\n");
    ASSERT_TRUE(tcptest::waitUntil([&] { return this->log.count("d") == 1; }));
    EXPECT_EQ(this->log.snapshot(), (std::vector<std::string>{"m1", "m2", "m3", "d"}));
    EXPECT_EQ(this->drain(), (std::vector<std::string>{"first message", "second message", "third message"}));
}

TYPED_TEST(TcpFraming, GetBinaryMessageTellsFramesFromTexts)
{
    std::string message = "untouched";
    const char *data = nullptr;
    uint32_t length = 77;
    EXPECT_EQ(this->channel->GetBinaryMessage(message, data, length), -1);
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 77u);
    EXPECT_EQ(this->channel->GetMessage(), "");
    EXPECT_TRUE(this->channel->BinaryGetMessage().bytes.empty());

    // A short text has no header words to read; a text of header size is still a text.
    const std::string header = frame("");
    tcptest::sendFromPeer(this->port, "abc\n" + header + "eight by\n" + frame("body"));
    ASSERT_TRUE(tcptest::waitUntil([&] { return this->log.count("d") == 1; }));

    EXPECT_EQ(this->channel->GetBinaryMessage(message, data, length), 0);
    EXPECT_EQ(message, "abc");
    EXPECT_EQ(data, message.data());
    EXPECT_EQ(length, 77u);

    EXPECT_EQ(this->channel->GetBinaryMessage(message, data, length), 1);
    EXPECT_EQ(message, header);
    EXPECT_EQ(data, message.data());
    EXPECT_EQ(length, 8u);

    EXPECT_EQ(this->channel->GetBinaryMessage(message, data, length), 0);
    EXPECT_EQ(message, "eight by");
    EXPECT_EQ(length, 8u);

    EXPECT_EQ(this->channel->GetBinaryMessage(message, data, length), 1);
    EXPECT_EQ(message, frame("body"));
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(this->channel->GetMessageCount(), 0u);
}

TYPED_TEST(TcpFraming, ReadMessageGathersATextUpToItsLineFeedOrTheClose)
{
    auto reader = std::make_unique<TypeParam>();
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const std::string bytes = "first\nsecond\ncut short";
    ASSERT_EQ(::send(pair[1], bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::shutdown(pair[1], SHUT_WR);
    EXPECT_EQ(reader->ReadMessage(pair[0]), "first");
    EXPECT_EQ(reader->ReadMessage(pair[0]), "second");
    EXPECT_EQ(reader->ReadMessage(pair[0]), "cut short");
    EXPECT_EQ(reader->ReadMessage(pair[0]), "");
    ::close(pair[0]);
    ::close(pair[1]);
}

TYPED_TEST(TcpFraming, ListenerCreationRefusesABusyPortAndASecondStart)
{
    EXPECT_EQ(this->channel->CreateListenerSocket(this->port), -1);
    auto other = std::make_unique<TypeParam>();
    EXPECT_EQ(other->CreateListenerSocket(this->port), -1);
    EXPECT_EQ(other->CreateBinaryListenerSocket(this->port), -1);
}

TYPED_TEST(TcpFraming, ARestartedListenerReads)
{
    this->channel->KillListener();
    ASSERT_EQ(this->channel->CreateListenerSocket(this->port), 0);
    tcptest::sendFromPeer(this->port, "again\n");
    ASSERT_TRUE(tcptest::waitUntil([&] { return this->log.count("d") == 1; }));
    EXPECT_EQ(this->drain(), std::vector<std::string>{"again"});
}

} // namespace
