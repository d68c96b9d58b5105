// The request-response channel talking to the library's own kept-connection server: requests and replies go back
// and forth on one connection, which the server sees end only when the client closes it; several host threads, each
// with a client and a server of its own, talk at once while the listener threads answer.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Utils/TcpPeer.h"
#include "kve/kve_tcp.h"
#include "kve/kve_tcp_talk.h"

namespace {

// A kept-connection server answering from its listener thread: "re:" and the text for a text, the message itself
// for a framed one; the text "quiet" gets no answer.
struct AnsweringServer {
    std::unique_ptr<CTcpIO2> channel = std::make_unique<CTcpIO2>();
    int32_t port = tcptest::freePort();
    std::atomic<int> disconnects{0};
    bool started = false;

    AnsweringServer()
    {
        channel->MessageContext = this;
        channel->DisconnectContext = this;
        channel->MessageCallback = [](void *context, uint64_t) -> int32_t {
            static_cast<AnsweringServer *>(context)->answer();
            return 0;
        };
        channel->DisconnectCallback = [](void *context) -> int32_t {
            ++static_cast<AnsweringServer *>(context)->disconnects;
            return 0;
        };
        started = channel->CreateListenerSocket(port) == 0;
    }

    void answer()
    {
        std::string message;
        const char *data = nullptr;
        uint32_t length = 0;
        for (int32_t kind; (kind = channel->GetBinaryMessage(message, data, length)) >= 0;) {
            if (kind == 1)
                channel->SendBinaryMessage(nullptr, 0, data, static_cast<int32_t>(length));
            else if (message != "quiet")
                channel->SendTcpMessage(nullptr, 0, ("re:" + message).c_str());
        }
    }
};

struct Reply {
    int32_t result = 0;
    std::string text;
    char *data = nullptr;
    uint32_t length = 0;
};

Reply ask(CTcpIOTalk &talk, int32_t port, const std::string &text, int32_t timeout)
{
    Reply r;
    r.result = talk.SendTcpMessage("127.0.0.1", port, text.c_str(), r.text, r.data, r.length, timeout);
    return r;
}

TEST(TcpIOTalk, RequestsAndRepliesShareTheServersKeptConnection)
{
    AnsweringServer server;
    ASSERT_TRUE(server.started);
    CTcpIOTalk talk;
    EXPECT_EQ(ask(talk, server.port, "first", 100).text, "re:first");
    EXPECT_EQ(ask(talk, server.port, "second", 100).text, "re:second");
    const std::string request = tcptest::frame(std::string(12, '\n'));
    Reply r;
    r.result = talk.SendBinaryMessage("127.0.0.1", server.port, request.data(), static_cast<int32_t>(request.size()),
                                      r.text, r.data, r.length, 100, false);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.length, request.size());
    EXPECT_EQ(r.text, request);
    EXPECT_EQ(ask(talk, server.port, "third", 100).text, "re:third");
    EXPECT_EQ(server.disconnects, 0);
    talk.KillSocket();
    EXPECT_TRUE(tcptest::waitUntil([&] { return server.disconnects == 1; }));
}

// Host threads each talk to a server of their own, one of them also through time-outs that close and reopen its
// connection, while the servers' listener threads read and answer.
TEST(TcpIOTalkThreads, ClientsOnSeveralThreadsBesideTheListeners)
{
    constexpr int kThreads = 4;
    constexpr int kRequests = 20;
    std::vector<std::unique_ptr<AnsweringServer>> servers;
    for (int t = 0; t < kThreads; ++t) {
        servers.push_back(std::make_unique<AnsweringServer>());
        ASSERT_TRUE(servers.back()->started);
    }
    std::atomic<int> answered{0}, timedOut{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CTcpIOTalk talk;
            for (int i = 0; i < kRequests; ++i) {
                if (t == 0 && i % 5 == 0) {
                    timedOut += ask(talk, servers[t]->port, "quiet", 10).result == CTcpIOTalk::kTimedOut;
                    continue;
                }
                const std::string text = std::to_string(t) + ":" + std::to_string(i);
                answered += ask(talk, servers[t]->port, text, 100).text == "re:" + text;
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(timedOut, kRequests / 5);
    EXPECT_EQ(answered, kThreads * kRequests - kRequests / 5);
}

} // namespace
