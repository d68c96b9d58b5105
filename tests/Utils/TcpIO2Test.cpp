// The kept-connection server channel: answers reach the peer on its own connection, sends without a peer fail,
// and the raw binary port queues every receive.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "TcpPeer.h"
#include "kve/kve_tcp.h"

namespace {

using tcptest::PeerScript;

class TcpIO2Server : public ::testing::Test {
protected:
    void SetUp() override { log.attach(*channel); }
    void TearDown() override { channel->KillListener(); }

    // A peer that sends the bytes (in two chunks when `cut` is not 0) and then waits for one line of answer,
    // which it prints.
    std::unique_ptr<PeerScript> askingPeer(int32_t port, const std::string &bytes, size_t cut = 0)
    {
        path = tcptest::bytesFile(bytes);
        return std::make_unique<PeerScript>("send " + std::to_string(port) + " " + path + " --end line" +
                                            (cut != 0 ? " --at " + std::to_string(cut) : ""));
    }

    std::unique_ptr<CTcpIO2> channel = std::make_unique<CTcpIO2>();
    tcptest::CallbackLog log;
    std::string path;
};

TEST_F(TcpIO2Server, AnswersOnThePeersConnection)
{
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(channel->CreateListenerSocket(port), 0);
    EXPECT_EQ(channel->SendTcpMessage("127.0.0.1", port, "nobody asked"), -1);
    EXPECT_EQ(channel->SendBinaryMessage("127.0.0.1", port, "abc", 3), -1);

    struct Case {
        const char *name;
        std::function<int32_t(CTcpIO2 &)> answer;
        std::string wire;
    } cases[] = {
        {"text", [](CTcpIO2 &c) { return c.SendTcpMessage("ignored", 1, "answer"); }, "answer\n"},
        {"framed",
         [](CTcpIO2 &c) {
             const std::string reply = tcptest::frame("reply\n");
             return c.SendBinaryMessage(nullptr, 0, reply.data(), static_cast<int32_t>(reply.size()));
         },
         tcptest::frame("reply\n")},
    };
    size_t served = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto peer = askingPeer(port, "question one\n");
        ASSERT_TRUE(tcptest::waitUntil([&] { return channel->GetMessageCount() == 1; }));
        EXPECT_EQ(channel->GetMessage(), "question one");
        EXPECT_EQ(channel->SendBinaryMessage(nullptr, 0, "x", 0), 0);
        EXPECT_EQ(channel->SendBinaryMessage(nullptr, 0, "x", -1), -1);
        EXPECT_EQ(c.answer(*channel), 0);
        EXPECT_EQ(peer->line(), "got " + tcptest::hex(c.wire));
        EXPECT_TRUE(peer->finish());
        ++served;
        ASSERT_TRUE(tcptest::waitUntil([&] { return log.count("d") == served; }));
        // The peer has gone, and once the listener has closed its connection nothing is left to answer on.
        EXPECT_TRUE(tcptest::waitUntil([&] { return channel->SendTcpMessage(nullptr, 0, "too late") == -1; }));
        EXPECT_EQ(channel->SendBinaryMessage(nullptr, 0, "late", 4), -1);
    }
}

TEST_F(TcpIO2Server, RawPortQueuesEachReceiveAndAnswersOnItsConnection)
{
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(channel->CreateBinaryListenerSocket(port), 0);
    // Written 10 and 20 bytes apart: two records, or one when both writes arrive in one receive.
    auto peer = askingPeer(port, std::string(10, 'a') + std::string(20, 'b'), 10);
    std::string joined;
    size_t records = 0;
    ASSERT_TRUE(tcptest::waitUntil([&] {
        const SReceiveMessage &record = channel->BinaryGetMessage();
        records += !record.bytes.empty();
        joined.append(record.bytes.begin(), record.bytes.end());
        return joined.size() >= 30;
    }));
    EXPECT_EQ(joined, std::string(10, 'a') + std::string(20, 'b'));
    EXPECT_EQ(channel->SendTcpMessage(nullptr, 0, "thanks"), 0);
    EXPECT_EQ(peer->line(), "got " + tcptest::hex("thanks\n"));
    EXPECT_TRUE(peer->finish());
    ASSERT_TRUE(tcptest::waitUntil([&] { return log.count("d") == 1; }));

    // One callback per record, each with the raw queue's size then, and the disconnect last.
    const std::vector<std::string> events = log.snapshot();
    ASSERT_EQ(events.size(), records + 1);
    EXPECT_EQ(events.back(), "d");
    EXPECT_EQ(events.front(), "m1");
    EXPECT_EQ(channel->GetBinaryMessageCount(), 0u);
    EXPECT_EQ(channel->GetMessageCount(), 0u);
}

TEST_F(TcpIO2Server, AnswersGoToTheEarlierPeerOnceTheLaterOneHasGone)
{
    const int32_t textPort = tcptest::freePort();
    const int32_t rawPort = tcptest::freePort();
    ASSERT_EQ(channel->CreateListenerSocket(textPort), 0);
    ASSERT_EQ(channel->CreateBinaryListenerSocket(rawPort), 0);
    // The earlier peer waits for an answer while a later one, on the other listener, comes and goes.
    struct Case {
        const char *name;
        bool earlierOnText;
    } cases[] = {{"text peer, then a raw peer", true}, {"raw peer, then a text peer", false}};
    size_t served = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto earlier = askingPeer(c.earlierOnText ? textPort : rawPort, "question\n");
        if (c.earlierOnText) {
            ASSERT_TRUE(tcptest::waitUntil([&] { return channel->GetMessageCount() == 1; }));
            EXPECT_EQ(channel->GetMessage(), "question");
        } else {
            ASSERT_TRUE(tcptest::waitUntil([&] { return !channel->BinaryGetMessage().bytes.empty(); }));
        }
        tcptest::sendFromPeer(c.earlierOnText ? rawPort : textPort, "later\n");
        ASSERT_TRUE(tcptest::waitUntil([&] { return log.count("d") == served + 1; }));
        if (c.earlierOnText) {
            const std::vector<uint8_t> &later = channel->BinaryGetMessage().bytes;
            EXPECT_EQ(std::string(later.begin(), later.end()), "later\n");
        } else {
            EXPECT_EQ(channel->GetMessage(), "later");
        }
        EXPECT_EQ(channel->SendTcpMessage(nullptr, 0, "answer"), 0);
        EXPECT_EQ(earlier->line(), "got " + tcptest::hex("answer\n"));
        EXPECT_TRUE(earlier->finish());
        served += 2;
        ASSERT_TRUE(tcptest::waitUntil([&] { return log.count("d") == served; }));
    }
}

TEST_F(TcpIO2Server, ServingAPeerLeavesTheClientSocketAlone)
{
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(channel->CreateListenerSocket(port), 0);
    auto peer = askingPeer(port, "question\n");
    ASSERT_TRUE(tcptest::waitUntil([&] { return channel->GetMessageCount() == 1; }));
    // While a peer is served, the host's own client socket still connects only where it can.
    const int32_t closedPort = tcptest::freePort();
    channel->SetHostEnt("localhost", closedPort);
    ASSERT_EQ(channel->MakeSocket(), 0);
    EXPECT_EQ(channel->ConnectSocket(0), -1);
    ASSERT_EQ(channel->MakeSocket(), 0);
    EXPECT_EQ(channel->ConnectSocket(inet_addr("127.0.0.1")), -1);
    EXPECT_EQ(channel->SendTcpMessage(nullptr, 0, "answer"), 0);
    EXPECT_EQ(peer->line(), "got " + tcptest::hex("answer\n"));
    EXPECT_TRUE(peer->finish());
}

TEST_F(TcpIO2Server, KillListenerWithoutListenersReturnsAtOnce)
{
    const auto start = std::chrono::steady_clock::now();
    channel->KillListener();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

} // namespace
