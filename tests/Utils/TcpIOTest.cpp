// The one-shot channel as a sender to a loopback peer, and its raw binary listener; the machine's addresses.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TcpPeer.h"
#include "kve/kve_tcp.h"

namespace {

using tcptest::PeerScript;

// Runs `send` against a loopback peer and returns what each connection it made carried.
std::vector<std::string> sentToPeer(const std::function<int32_t(int32_t port)> &send, int32_t *result)
{
    PeerScript peer("serve");
    const std::string announced = peer.line();
    EXPECT_EQ(announced.rfind("port ", 0), 0u);
    const int32_t port = std::stoi(announced.substr(5));
    *result = send(port);
    CTcpIO release;
    EXPECT_EQ(release.SendTcpMessage("127.0.0.1", port, "end"), 0);
    std::vector<std::string> carried;
    for (std::string line = peer.line(); line.rfind("conn ", 0) == 0; line = peer.line())
        carried.push_back(tcptest::unhex(line.substr(5)));
    EXPECT_TRUE(peer.finish());
    return carried;
}

using Connections = std::vector<std::string>;

TEST(TcpIOSend, PutsTheTextOnTheWireWithOneLineFeed)
{
    const std::string longText(5000, 't');
    struct Case {
        const char *host;
        const char *text;
        std::string wire;
    } cases[] = {
        {"127.0.0.1", "abc", "abc\n"},
        {"localhost", "abc\n", "abc\n"},
        {"127.0.0.1", "ab\r", "ab\r\n"},
        {"127.0.0.1", longText.c_str(), longText + "\n"},
        {"127.0.0.1", "", ""},
        {"127.0.0.1", nullptr, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text != nullptr ? std::string(c.text).substr(0, 8) : "null");
        int32_t result = -2;
        CTcpIO channel;
        EXPECT_EQ(sentToPeer([&](int32_t port) { return channel.SendTcpMessage(c.host, port, c.text); }, &result),
                  Connections{c.wire});
        EXPECT_EQ(result, 0);
    }
}

TEST(TcpIOSend, PutsTheBytesOnTheWireUnchanged)
{
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    CTcpIO channel;
    int32_t result = -2;
    EXPECT_EQ(sentToPeer([&](int32_t port) { return channel.SendBinaryMessage("127.0.0.1", port, bytes.data(),
                                                                              static_cast<int32_t>(bytes.size())); },
                         &result),
              Connections{bytes});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sentToPeer([&](int32_t port) { return channel.SendBinaryMessage("127.0.0.1", port, "x", 0); },
                         &result),
              Connections{""});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sentToPeer([&](int32_t port) { return channel.SendBinaryMessage("127.0.0.1", port, "x", -1); },
                         &result),
              Connections{""});
    EXPECT_EQ(result, -1);
}

TEST(TcpIOSend, NetcatReceivesTheTextAndTheFrame)
{
    struct Case {
        const char *name;
        std::function<int32_t(CTcpIO &, int32_t port)> send;
        std::string wire;
    } cases[] = {
        {"text", [](CTcpIO &c, int32_t port) { return c.SendTcpMessage("127.0.0.1", port, "from the host"); },
         "from the host\n"},
        {"frame",
         [](CTcpIO &c, int32_t port) {
             const std::string bytes = tcptest::frame("framed body");
             return c.SendBinaryMessage("localhost", port, bytes.data(), static_cast<int32_t>(bytes.size()));
         },
         tcptest::frame("framed body")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t port = tcptest::freePort();
        FILE *netcat = ::popen(("nc -l 127.0.0.1 " + std::to_string(port)).c_str(), "r");
        ASSERT_NE(netcat, nullptr);
        CTcpIO channel;
        // Refused until netcat listens; a refused connection carries nothing.
        EXPECT_TRUE(tcptest::waitUntil([&] { return c.send(channel, port) == 0; }));
        std::string received;
        char chunk[256];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, netcat)) > 0;)
            received.append(chunk, got);
        EXPECT_EQ(::pclose(netcat), 0);
        EXPECT_EQ(received, c.wire);
    }
}

TEST(TcpIOSend, RefusesHostsThatNameNoAddress)
{
    // Only a whole dotted quad other than 0.0.0.0 is an address; none of these is ever connected to.
    const char *hosts[] = {"0.0.0.0", "1.2.3", "300.1.2.3", "127.0.0.1x", "", nullptr};
    for (const char *host : hosts) {
        SCOPED_TRACE(host != nullptr ? host : "null");
        CTcpIO channel;
        int32_t text = -2, binary = -2;
        EXPECT_EQ(sentToPeer(
                      [&](int32_t port) {
                          text = channel.SendTcpMessage(host, port, "abc");
                          binary = channel.SendBinaryMessage(host, port, "abc", 3);
                          return text;
                      },
                      &text),
                  Connections{});
        EXPECT_EQ(text, -1);
        EXPECT_EQ(binary, -1);
    }
}

TEST(TcpIOSend, FailsOnARefusedPortAndFollowsTheHostNotOnlyThePort)
{
    CTcpIO channel;
    const int32_t closedPort = tcptest::freePort();
    EXPECT_EQ(channel.SendTcpMessage("127.0.0.1", closedPort, "abc"), -1);
    EXPECT_EQ(channel.SendBinaryMessage("localhost", closedPort, "abc", 3), -1);

    // The peer listens on 127.0.0.1 only: after a message to localhost, one to 127.0.0.2 on the same port must go
    // to 127.0.0.2 and be refused, not to the address resolved for the last host.
    int32_t result = -2;
    EXPECT_EQ(sentToPeer(
                  [&](int32_t port) {
                      EXPECT_EQ(channel.SendTcpMessage("localhost", port, "first"), 0);
                      return channel.SendTcpMessage("127.0.0.2", port, "second");
                  },
                  &result),
              Connections{"first\n"});
    EXPECT_EQ(result, -1);
}

TEST(TcpIOSend, ATextToAPeerThatHasGoneGivesAFailureNotASignal)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    ::close(pair[1]);
    CTcpIO channel;
    EXPECT_LT(channel.SendString(pair[0], "abc"), 0);
    EXPECT_LT(channel.SendString(pair[0], std::string(3000, 'a').c_str()), 0);
    ::close(pair[0]);
}

TEST(TcpIOBinaryListener, QueuesTheFirstReceiveOfEachConnection)
{
    auto channel = std::make_unique<CTcpIO>();
    tcptest::CallbackLog log;
    log.attach(*channel);
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(channel->CreateBinaryListenerSocket(port), 0);
    tcptest::sendFromPeer(port, "raw\nbytes");
    tcptest::sendFromPeer(port, tcptest::frame("framed"), {}, "reset");
    tcptest::sendFromPeer(port, "", {});
    tcptest::sendFromPeer(port, "first receive", {13, 14});
    ASSERT_TRUE(tcptest::waitUntil([&] { return channel->GetBinaryMessageCount() == 3; }));
    channel->KillListener();

    const std::vector<std::string> expected = {"raw\nbytes", tcptest::frame("framed"), "first receive"};
    for (const std::string &bytes : expected) {
        const SReceiveMessage &message = channel->BinaryGetMessage();
        EXPECT_EQ(std::string(message.bytes.begin(), message.bytes.end()), bytes);
    }
    EXPECT_TRUE(channel->BinaryGetMessage().bytes.empty());
    EXPECT_EQ(channel->GetMessageCount(), 0u);
    EXPECT_TRUE(log.snapshot().empty());
}

TEST(TcpIOAddresses, ListsThisMachinesIPv4AddressesButLoopback)
{
    // hostname -I lists every address of the machine but the loopback ones.
    std::vector<std::string> expected;
    FILE *pipe = ::popen("hostname -I", "r");
    ASSERT_NE(pipe, nullptr);
    char text[4096] = {};
    const size_t got = std::fread(text, 1, sizeof text - 1, pipe);
    ::pclose(pipe);
    std::istringstream words(std::string(text, got));
    for (std::string word; words >> word;) {
        if (word.find(':') == std::string::npos && word.rfind("127.", 0) != 0)
            expected.push_back(word);
    }
    CTcpIO channel;
    std::vector<std::string> listed;
    for (int32_t i = 0; i < static_cast<int32_t>(expected.size()); ++i)
        listed.push_back(channel.GetIPAddress(i));
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    const std::string first = expected.empty() ? "" : channel.GetIPAddress(0);
    EXPECT_EQ(channel.GetIPAddress(static_cast<int32_t>(expected.size())), first);
    EXPECT_EQ(channel.GetIPAddress(-1), first);
}

} // namespace
