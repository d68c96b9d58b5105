// Listeners beside host threads: senders and takers on several threads at once, answers while peers come and go,
// and stopping listeners that are blocked on a peer. Run under ThreadSanitizer too.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TcpPeer.h"
#include "kve/kve_tcp.h"

namespace {

int connectLoopback(int32_t port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// Reads lines until one starts with `prefix`; "" when the connection ends first.
std::string readLineStarting(int s, const std::string &prefix)
{
    std::string line;
    char c;
    while (::recv(s, &c, 1, 0) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.rfind(prefix, 0) == 0)
            return line;
        line.clear();
    }
    return {};
}

TEST(TcpListenerThreads, MessagesFromSeveralSendersReachATakerOnAnotherThread)
{
    auto listener = std::make_unique<CTcpIO>();
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(listener->CreateListenerSocket(port), 0);

    constexpr int kSenders = 3, kEach = 4;
    std::atomic<bool> stop{false};
    std::atomic<size_t> takenCount{0};
    std::vector<std::string> taken;
    std::thread taker([&] {
        // Takes through both get calls while the listener queues.
        while (!stop) {
            std::string message;
            const char *data = nullptr;
            uint32_t length = 0;
            const bool took = taken.size() % 2 == 0 ? !(message = listener->GetMessage()).empty()
                                                    : listener->GetBinaryMessage(message, data, length) == 0;
            if (took) {
                taken.push_back(message);
                ++takenCount;
            }
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> senders;
    std::set<std::string> expected;
    for (int t = 0; t < kSenders; ++t) {
        for (int i = 0; i < kEach; ++i)
            expected.insert("sender " + std::to_string(t) + " message " + std::to_string(i));
        senders.emplace_back([t, port] {
            CTcpIO sender;
            for (int i = 0; i < kEach; ++i) {
                const std::string text = "sender " + std::to_string(t) + " message " + std::to_string(i);
                EXPECT_EQ(sender.SendTcpMessage(t % 2 == 0 ? "127.0.0.1" : "localhost", port, text.c_str()), 0);
            }
        });
    }
    for (std::thread &s : senders)
        s.join();
    EXPECT_TRUE(tcptest::waitUntil([&] { return takenCount == expected.size(); }));
    stop = true;
    taker.join();
    listener->KillListener();
    EXPECT_EQ(std::set<std::string>(taken.begin(), taken.end()), expected);
    EXPECT_EQ(taken.size(), expected.size());
}

TEST(TcpListenerThreads, AnswersGoToThePeerOfTheirOwnWhilePeersComeAndGo)
{
    auto server = std::make_unique<CTcpIO2>();
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(server->CreateListenerSocket(port), 0);
    constexpr int kPeers = 40;
    std::atomic<bool> done{false};
    std::thread answerer([&] {
        while (!done) {
            const std::string question = server->GetMessage();
            if (question.rfind("question ", 0) == 0)
                server->SendTcpMessage(nullptr, 0, ("answer " + question.substr(9)).c_str());
            std::this_thread::yield();
        }
    });
    // Chatter on the kept connection from one more thread: it often reaches a peer that has just gone.
    std::thread chatter([&] {
        const std::string frame = tcptest::frame("noise\n");
        while (!done) {
            server->SendTcpMessage(nullptr, 0, "noise");
            server->SendBinaryMessage(nullptr, 0, frame.data(), static_cast<int32_t>(frame.size()));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int i = 0; i < kPeers; ++i) {
        const int peer = connectLoopback(port);
        ASSERT_GE(peer, 0);
        const std::string question = "question " + std::to_string(i) + "\n";
        ASSERT_EQ(::send(peer, question.data(), question.size(), MSG_NOSIGNAL), static_cast<ssize_t>(question.size()));
        EXPECT_EQ(readLineStarting(peer, "answer"), "answer " + std::to_string(i));
        ::close(peer);
    }
    done = true;
    answerer.join();
    chatter.join();
    server->KillListener();
}

TEST(TcpListenerThreads, AnswersFailingTogetherDropTheClientSocketWhileAHostThreadUsesIt)
{
    // The listener stays in its message callback until the answers have failed: the kept connection stays open on
    // this side after its peer has reset it, so every answer fails on it and drops the client socket.
    struct Held {
        std::atomic<bool> release{false};
        std::atomic<int> disconnects{0};
    } held;
    auto server = std::make_unique<CTcpIO2>();
    server->MessageContext = &held;
    server->DisconnectContext = &held;
    server->MessageCallback = [](void *context, uint64_t) -> int32_t {
        auto *h = static_cast<Held *>(context);
        tcptest::waitUntil([h] { return h->release.load(); });
        return 0;
    };
    server->DisconnectCallback = [](void *context) -> int32_t {
        ++static_cast<Held *>(context)->disconnects;
        return 0;
    };
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(server->CreateListenerSocket(port), 0);

    // A host thread selects, opens and connects the client socket all along, to a port nobody listens on.
    const int32_t closedPort = tcptest::freePort();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; !done; ++i) {
            server->SetHostEnt(i % 2 == 0 ? "localhost" : "127.0.0.1", closedPort);
            EXPECT_EQ(server->MakeSocket(), 0);
            EXPECT_EQ(server->ConnectSocket(i % 4 < 2 ? 0 : inet_addr("127.0.0.1")), -1);
        }
    });
    // One peer: it asks, is held in the callback and resets; two host threads answer it at once.
    const auto resetPeerAnsweredTwice = [&](int round) {
        held.release = false;
        const int peer = connectLoopback(port);
        ASSERT_GE(peer, 0);
        ASSERT_EQ(::send(peer, "question\n", 9, MSG_NOSIGNAL), 9);
        ASSERT_TRUE(tcptest::waitUntil([&] { return server->GetMessageCount() == 1; }));
        EXPECT_EQ(server->GetMessage(), "question");
        const linger reset{1, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(peer);

        std::atomic<bool> go{false};
        std::vector<std::thread> answerers;
        for (int t = 0; t < 2; ++t) {
            answerers.emplace_back([&] {
                while (!go)
                    std::this_thread::yield();
                EXPECT_TRUE(tcptest::waitUntil([&] { return server->SendTcpMessage(nullptr, 0, "answer") == -1; }));
            });
        }
        go = true;
        for (std::thread &a : answerers)
            a.join();
        held.release = true;
        ASSERT_TRUE(tcptest::waitUntil([&] { return held.disconnects == round + 1; }));
        EXPECT_EQ(server->SendTcpMessage(nullptr, 0, "after"), -1);
    };
    for (int round = 0; round < 10 && !::testing::Test::HasFatalFailure(); ++round)
        resetPeerAnsweredTwice(round);
    held.release = true;
    done = true;
    host.join();
    server->KillListener();
}

TEST(TcpListenerThreads, StoppingWakesListenersBlockedOnPeers)
{
    for (int destroyOnly = 0; destroyOnly < 2; ++destroyOnly) {
        SCOPED_TRACE(destroyOnly != 0 ? "destruction" : "KillListener");
        auto oneShot = std::make_unique<CTcpIO>();
        auto server = std::make_unique<CTcpIO2>();
        tcptest::CallbackLog log;
        log.attach(*server);
        const int32_t ports[4] = {tcptest::freePort(), tcptest::freePort(), tcptest::freePort(),
                                  tcptest::freePort()};
        ASSERT_EQ(oneShot->CreateListenerSocket(ports[0]), 0);
        ASSERT_EQ(oneShot->CreateBinaryListenerSocket(ports[1]), 0);
        ASSERT_EQ(server->CreateListenerSocket(ports[2]), 0);
        ASSERT_EQ(server->CreateBinaryListenerSocket(ports[3]), 0);
        // Idle peers, one with half a frame sent: every listener waits in a receive.
        std::vector<int> peers;
        for (int32_t port : ports)
            peers.push_back(connectLoopback(port));
        const std::string half = tcptest::frame("twenty bytes of body").substr(0, 12);
        ::send(peers[2], half.data(), half.size(), MSG_NOSIGNAL);
        ::send(peers[3], "raw", 3, MSG_NOSIGNAL);
        ASSERT_TRUE(tcptest::waitUntil([&] { return server->GetBinaryMessageCount() == 1; }));

        const auto start = std::chrono::steady_clock::now();
        if (destroyOnly != 0) {
            oneShot.reset();
            server.reset();
        } else {
            oneShot->KillListener();
            server->KillListener();
            EXPECT_EQ(server->GetMessageCount(), 0u);
            EXPECT_EQ(server->SendTcpMessage(nullptr, 0, "after"), -1);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        for (int peer : peers)
            ::close(peer);
    }
}

TEST(TcpListenerThreads, StoppingWakesAnAnswerBlockedOnAPeerThatDoesNotRead)
{
    auto server = std::make_unique<CTcpIO2>();
    const int32_t port = tcptest::freePort();
    ASSERT_EQ(server->CreateListenerSocket(port), 0);
    const int peer = connectLoopback(port);
    ASSERT_GE(peer, 0);
    ASSERT_EQ(::send(peer, "question\n", 9, MSG_NOSIGNAL), 9);
    ASSERT_TRUE(tcptest::waitUntil([&] { return server->GetMessageCount() == 1; }));

    // More than the socket buffers hold, to a peer that never reads: the answer blocks until the listener stops.
    const std::string answer(64 << 20, 'a');
    std::atomic<int32_t> result{1};
    std::thread answerer(
        [&] { result = server->SendBinaryMessage(nullptr, 0, answer.data(), static_cast<int32_t>(answer.size())); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    server->KillListener();
    answerer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(result, -1);
    ::close(peer);
}

} // namespace
