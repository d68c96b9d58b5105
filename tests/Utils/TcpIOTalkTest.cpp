// The request-response channel against scripted loopback servers: replies of every kind and in chunks, each failure
// code with the connection closed behind it, the time-out, binary requests with raw and reassembled replies, and the
// host texts a destination may be given as, each request answered by the server it names.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Utils/ScriptedServer.h"
#include "Utils/TcpPeer.h"
#include "kve/kve_tcp_talk.h"

namespace {

using kvetest::ScriptedServer;
using tcptest::hex;

const std::string kOk = "send:6f6b0a"; // "ok\n"

// A framed message of `total` bytes whose body repeats `fill`.
std::string frame(uint32_t total, char fill)
{
    return tcptest::framed(total, std::string(total - kTcpHeaderBytes, fill));
}

struct Reply {
    int32_t result = 0;
    std::string text;
    char *data = nullptr;
    uint32_t length = 0;
};

Reply request(CTcpIOTalk &talk, const char *host, int port, const std::string &text, int32_t timeout)
{
    Reply r;
    r.result = talk.SendTcpMessage(host, port, text.c_str(), r.text, r.data, r.length, timeout);
    return r;
}

Reply binaryRequest(CTcpIOTalk &talk, int port, const std::string &bytes, int32_t timeout, bool raw)
{
    Reply r;
    r.result = talk.SendBinaryMessage("127.0.0.1", port, bytes.data(), static_cast<int32_t>(bytes.size()), r.text,
                                      r.data, r.length, timeout, raw);
    return r;
}

// A port on which nothing listens: bound, so no one else takes it, but never listening.
struct RefusingPort {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    RefusingPort()
    {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (bind(socket, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0 &&
            getsockname(socket, reinterpret_cast<sockaddr *>(&at), &size) == 0)
            port = ntohs(at.sin_port);
    }
    ~RefusingPort() { close(socket); }
};

struct TextReplyCase {
    const char *what;
    std::string steps; // what the server does after reading the request
    int32_t timeout;
    int32_t result;
    std::string reply; // the reply string on 1
    uint32_t length;
};

// Each reply goes back as it stands in the reply string and in the buffer; each failure leaves the reply empty and
// the connection closed, so the next request reaches a new one, while a reply keeps the connection for the next.
TEST(TcpIOTalk, TextRequestsGetTheirRepliesOrAFailureThatClosesTheConnection)
{
    const std::string frame20 = frame(20, '\n');
    const std::string frame10 = frame(10, 'A');
    const std::vector<TextReplyCase> cases = {
        {"a text reply", kOk, 100, 1, "ok", 0},
        {"a carriage return stays in the text", "send:6f6b0d0a", 100, 1, "ok\r", 0},
        {"a text in two chunks", "send:6f,pause:50,send:6b0a", 100, 1, "ok", 0},
        {"a negative time-out waits without limit", "pause:300," + kOk, -1, 1, "ok", 0},
        {"a time-out below 10 still waits one tick", "pause:50," + kOk, 5, 1, "ok", 0},
        {"a frame of 20 bytes in 6 and 14, line feeds in its body",
         "send:" + hex(frame20.substr(0, 6)) + ",pause:50,send:" + hex(frame20.substr(6)), 100, 1, frame20, 20},
        {"a header holding a line feed, sent 6 + 4",
         "send:" + hex(frame10.substr(0, 6)) + ",pause:50,send:" + hex(frame10.substr(6)), 100, 1, frame10, 10},
        {"the peer closes", "close", 100, CTcpIOTalk::kPeerClosed, "", 0},
        {"the peer resets", "reset", 100, CTcpIOTalk::kReceiveFailed, "", 0},
        {"a text cut short by a close", "send:6f6b,close", 100, CTcpIOTalk::kPeerClosed, "", 0},
        {"a frame cut short by a close", "send:" + hex(frame20.substr(0, 10)) + ",close", 100,
         CTcpIOTalk::kPeerClosed, "", 0},
        {"a text filling the whole buffer", "fill:1048576", 100, CTcpIOTalk::kPeerClosed, "", 0},
        {"a frame of total length 0", "frame:0:0", 100, CTcpIOTalk::kBadLength, "", 0},
        {"a frame of total length 4", "frame:4:0", 100, CTcpIOTalk::kBadLength, "", 0},
        {"a frame one byte above the buffer", "frame:0x100001:0", 100, CTcpIOTalk::kBadLength, "", 0},
        {"a frame of total length 0x7FFFFFFF", "frame:0x7FFFFFFF:0", 100, CTcpIOTalk::kBadLength, "", 0},
    };
    const std::string next(3000, 'n'); // longer than one send chunk
    for (const TextReplyCase &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> connections = {"line," + c.steps};
        if (c.result == 1)
            connections[0] += ",line," + kOk;
        else
            connections.push_back("line," + kOk);
        ScriptedServer server(connections);
        ASSERT_NE(server.port(), 0);
        CTcpIOTalk talk;
        const Reply r = request(talk, "127.0.0.1", server.port(), "hello", c.timeout);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.text, c.reply);
        EXPECT_EQ(r.length, c.length);
        if (r.result == 1) {
            ASSERT_NE(r.data, nullptr);
            EXPECT_EQ(std::string(r.data, c.reply.size()), c.reply);
            EXPECT_EQ(r.data[c.reply.size()], '\0');
        }
        const Reply again = request(talk, "127.0.0.1", server.port(), next, 100);
        EXPECT_EQ(again.result, 1);
        EXPECT_EQ(again.text, "ok");
        talk.KillSocket();
        const std::string reconnected = c.result == 1 ? "0 " : "1 ";
        EXPECT_EQ(server.finish(),
                  (std::vector<std::string>{"0 " + hex("hello\n"), reconnected + hex(next + "\n")}));
    }
}

TEST(TcpIOTalk, ASilentServerTimesOutWithinTheTicksAndTheNextRequestReconnects)
{
    ScriptedServer server({"line", "line," + kOk});
    ASSERT_NE(server.port(), 0);
    CTcpIOTalk talk;
    const auto start = std::chrono::steady_clock::now();
    const Reply silent = request(talk, "127.0.0.1", server.port(), "anyone?", 50);
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(silent.result, CTcpIOTalk::kTimedOut);
    EXPECT_GE(waited, 0.4);
    EXPECT_LE(waited, 0.7);
    EXPECT_EQ(request(talk, "127.0.0.1", server.port(), "again", 50).text, "ok");
    talk.KillSocket();
    EXPECT_EQ(server.finish(), (std::vector<std::string>{"0 " + hex("anyone?\n"), "1 " + hex("again\n")}));
}

struct BinaryReplyCase {
    const char *what;
    std::string steps; // after the server read the 12-byte request
    bool reassemble;
    bool raw;
    int32_t result;
    std::string hex; // the reply in the buffer on 1
};

// Binary requests go out unchanged; a raw reply is whatever one receive brings, and a reassembled one gathers segments
// until the number of words it announces at byte offset 2 (or that number itself) is in.
TEST(TcpIOTalk, BinaryRequestsGetFramedRawAndReassembledReplies)
{
    const std::string request = frame(12, 'q');
    const std::string framed = frame(16, 'r');
    const std::vector<BinaryReplyCase> cases = {
        {"a framed reply", "send:" + hex(framed), false, false, 1, hex(framed)},
        {"a raw reply", "send:68656c6c6f", false, true, 1, "68656c6c6f"},
        {"three words gathered", "send:aabb0300,pause:30,send:01020304,pause:30,send:05060708", true, true, 1,
         "aabb03000102030405060708"},
        {"the size word itself in two segments", "send:aabb,pause:30,send:0300,pause:30,send:0102030405060708", true,
         true, 1, "aabb03000102030405060708"},
        {"a last segment passing the announced size", "send:aabb0200,pause:30,send:010203040506", true, true, 1,
         "aabb0200010203040506"},
        {"a gathered reply above the buffer", "frame:8:0,pause:30,frame:0x100000:0x0ffff8", true, false,
         CTcpIOTalk::kBadLength, ""},
        {"the peer closes before the last segment", "send:aabb0300,pause:30,close", true, true, CTcpIOTalk::kPeerClosed,
         ""},
    };
    for (const BinaryReplyCase &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server({"read:12," + c.steps});
        ASSERT_NE(server.port(), 0);
        CTcpIOTalk talk;
        const int port = c.reassemble ? static_cast<int>(static_cast<uint32_t>(server.port()) | 0x80000000u)
                                      : server.port();
        const Reply r = binaryRequest(talk, port, request, 100, c.raw);
        EXPECT_EQ(r.result, c.result);
        if (r.result == 1) {
            const std::string got(r.data, r.length);
            EXPECT_EQ(hex(got), c.hex);
            EXPECT_EQ(r.data[r.length], '\0');
            EXPECT_EQ(r.text, c.raw ? "" : got);
        }
        talk.KillSocket();
        EXPECT_EQ(server.finish(), std::vector<std::string>{"0 " + hex(request)});
    }
}

// A binary request that cannot go out leaves the connection open; one sent after the peer reset it fails without a
// signal that would end the host.
TEST(TcpIOTalk, FailedBinarySendsReportTheirCode)
{
    ScriptedServer server({"read:8," + kOk + ",read:8," + kOk + ",reset"});
    ASSERT_NE(server.port(), 0);
    CTcpIOTalk talk;
    const std::string header = frame(8, 0);
    EXPECT_EQ(binaryRequest(talk, server.port(), header, 100, false).text, "ok");
    Reply r;
    EXPECT_EQ(talk.SendBinaryMessage(nullptr, server.port(), header.data(), -1, r.text, r.data, r.length, 100, false),
              CTcpIOTalk::kSendFailed);
    EXPECT_EQ(talk.SendBinaryMessage(nullptr, server.port(), nullptr, 8, r.text, r.data, r.length, 100, false),
              CTcpIOTalk::kSendFailed);
    EXPECT_EQ(binaryRequest(talk, server.port(), header, 100, false).text, "ok");
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the reset reaches the channel's socket
    r = binaryRequest(talk, server.port(), header, 100, false);
    EXPECT_TRUE(r.result == CTcpIOTalk::kSendFailed || r.result == CTcpIOTalk::kReceiveFailed) << r.result;
    EXPECT_EQ(server.finish(), (std::vector<std::string>{"0 " + hex(header), "0 " + hex(header)}));
}

// Only a resolvable name or a dotted quad other than 0.0.0.0 names a destination; a refused connection is -1; a
// failed or earlier destination does not stick to the channel when the host changes.
TEST(TcpIOTalk, HostTextsAndRefusedPorts)
{
    ScriptedServer server({"line," + kOk});
    ASSERT_NE(server.port(), 0);
    RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    CTcpIOTalk talk;
    for (const char *host : {static_cast<const char *>(nullptr), "", "0.0.0.0", "127.1", "300.0.0.1", "1x"}) {
        SCOPED_TRACE(host == nullptr ? "null" : host);
        EXPECT_EQ(request(talk, host, server.port(), "hi", 100).result, -1);
    }
    EXPECT_EQ(request(talk, "127.0.0.1", refusing.port, "hi", 100).result, -1);
    talk.SetHostEnt("127.0.0.1", server.port()); // a dotted quad leaves no resolved address behind
    EXPECT_EQ(request(talk, "localhost", server.port(), "hi", 100).text, "ok");
    talk.KillSocket();
    EXPECT_EQ(server.finish(), std::vector<std::string>{"0 " + hex("hi\n")});
}

struct DestinationStep {
    const char *host;
    int server; // 0 answers "a", 1 answers "b"
    enum { Text, Binary, Reassembled } kind;
    std::string request;
};

// A request naming another host text or port than the open connection's is answered by the server it names, on a
// new connection; one naming the same host text and port (a reassembling port selects by its low 16 bits) keeps the
// open connection.
TEST(TcpIOTalk, EachRequestIsAnsweredByTheServerItNames)
{
    const std::string a = "send:" + hex("a\n"), b = "send:" + hex("b\n");
    const std::string header = frame(8, 0);
    // "bb" and a size word announcing one 32-bit word: the whole reassembled reply.
    const std::string wordReply = "send:62620100";
    ScriptedServer servers[2] = {
        ScriptedServer({"line," + a, "line," + a, "line," + a + ",line," + a}),
        ScriptedServer({"line," + b, "line," + b, "read:8," + b + ",read:8," + wordReply + ",line," + b})};
    ASSERT_NE(servers[0].port(), 0);
    ASSERT_NE(servers[1].port(), 0);
    const std::vector<DestinationStep> steps = {
        {"127.0.0.1", 0, DestinationStep::Text, "one"},    {"127.0.0.1", 1, DestinationStep::Text, "two"},
        {"127.0.0.1", 0, DestinationStep::Text, "three"},  {"127.0.0.1", 1, DestinationStep::Text, "four"},
        {"localhost", 0, DestinationStep::Text, "five"},   {"localhost", 0, DestinationStep::Text, "six"},
        {"127.0.0.1", 1, DestinationStep::Binary, header}, {"127.0.0.1", 1, DestinationStep::Reassembled, header},
        {"127.0.0.1", 1, DestinationStep::Text, "seven"},
    };
    CTcpIOTalk talk;
    for (size_t i = 0; i < steps.size(); ++i) {
        const DestinationStep &step = steps[i];
        SCOPED_TRACE(std::string("step ").append(std::to_string(i + 1)));
        int port = servers[step.server].port();
        Reply r;
        if (step.kind == DestinationStep::Text) {
            r = request(talk, step.host, port, step.request, 100);
        } else {
            const bool reassemble = step.kind == DestinationStep::Reassembled;
            if (reassemble)
                port = static_cast<int>(static_cast<uint32_t>(port) | 0x80000000u);
            r.result = talk.SendBinaryMessage(step.host, port, step.request.data(),
                                              static_cast<int32_t>(step.request.size()), r.text, r.data, r.length,
                                              100, reassemble);
        }
        ASSERT_EQ(r.result, 1);
        EXPECT_EQ(r.data[0], step.server == 0 ? 'a' : 'b');
    }
    talk.KillSocket();
    EXPECT_EQ(servers[0].finish(), (std::vector<std::string>{"0 " + hex("one\n"), "1 " + hex("three\n"),
                                                             "2 " + hex("five\n"), "2 " + hex("six\n")}));
    EXPECT_EQ(servers[1].finish(),
              (std::vector<std::string>{"0 " + hex("two\n"), "1 " + hex("four\n"), "2 " + hex(header),
                                        "2 " + hex(header), "2 " + hex("seven\n")}));
}

// A request whose destination cannot be resolved or connected fails as a failed connect does, and the open
// connection it replaces reads nothing more before it is closed; the next request connects again.
TEST(TcpIOTalk, ARequestThatCannotConnectNeverReachesTheOpenConnection)
{
    RefusingPort refusing;
    ASSERT_NE(refusing.port, 0);
    const std::string header = frame(8, 0);
    struct Destination {
        const char *host;
        bool refusingPort; // else the open connection's port
    };
    for (const bool binary : {false, true}) {
        for (const Destination &to : {Destination{"nowhere.invalid", false}, Destination{"", false},
                                      Destination{"300.0.0.1", false}, Destination{"127.0.0.1", true}}) {
            SCOPED_TRACE(std::string(binary ? "binary to " : "text to ").append(to.host));
            ScriptedServer server({"line," + kOk + ",line", "line," + kOk});
            ASSERT_NE(server.port(), 0);
            const char *host = to.host;
            const int port = to.refusingPort ? refusing.port : server.port();
            CTcpIOTalk talk;
            EXPECT_EQ(request(talk, "127.0.0.1", server.port(), "hi", 100).text, "ok");
            Reply r;
            if (binary)
                r.result = talk.SendBinaryMessage(host, port, header.data(), static_cast<int32_t>(header.size()),
                                                  r.text, r.data, r.length, 20, false);
            else
                r = request(talk, host, port, "astray", 20);
            EXPECT_EQ(r.result, -1);
            EXPECT_EQ(request(talk, "127.0.0.1", server.port(), "again", 100).text, "ok");
            talk.KillSocket();
            // The connections are served on threads of their own, so only the reads of each one keep their order.
            std::vector<std::string> reads = server.finish();
            std::stable_sort(reads.begin(), reads.end(),
                             [](const std::string &x, const std::string &y) { return x[0] < y[0]; });
            // "-": the first connection's second read found it closed, not a request.
            EXPECT_EQ(reads, (std::vector<std::string>{"0 " + hex("hi\n"), "0 -", "1 " + hex("again\n")}));
        }
    }
}

// Text goes out with one line feed at its end, in chunks; an empty text sends nothing; a peer that is gone gives
// the send's failure, not a signal.
TEST(TcpIOTalk, SendStringEndsTheLineAndSurvivesAClosedPeer)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const std::string longText(2500, 'z');
    for (const auto &[text, wire] : std::vector<std::pair<std::string, std::string>>{
             {"abc", "abc\n"}, {"abc\n", "abc\n"}, {"", ""}, {longText, longText + "\n"}}) {
        EXPECT_EQ(CTcpIOTalk::SendString(pair[0], text.c_str()), 0);
        std::string got(wire.size() + 1, '\0');
        size_t have = 0;
        while (have < wire.size()) {
            const ssize_t n = recv(pair[1], got.data() + have, got.size() - have, MSG_DONTWAIT);
            if (n <= 0)
                break;
            have += static_cast<size_t>(n);
        }
        EXPECT_EQ(got.substr(0, have), wire);
    }
    EXPECT_EQ(CTcpIOTalk::SendString(pair[0], nullptr), 0);
    close(pair[1]);
    EXPECT_EQ(CTcpIOTalk::SendString(pair[0], "late"), -1);
    close(pair[0]);
}

// Waiting for a reply with no connection open fails at once, whatever the time-out.
TEST(TcpIOTalk, AReceiveWithoutAConnectionFails)
{
    CTcpIOTalk talk;
    Reply r;
    r.text = "stale";
    EXPECT_EQ(talk.GetBinaryMessage(r.text, r.data, r.length, -1, false), CTcpIOTalk::kReceiveFailed);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(r.length, 0u);
}

// The machine's own IPv4 addresses, never the loopback one; an index out of range gives the first.
TEST(TcpIOTalk, IPAddressesSkipLoopback)
{
    const std::string first = CTcpIOTalk::GetIPAddress(0);
    EXPECT_EQ(CTcpIOTalk::GetIPAddress(-1), first);
    EXPECT_EQ(CTcpIOTalk::GetIPAddress(1000), first);
    for (int i = 0; i < 4; ++i) {
        const std::string address = CTcpIOTalk::GetIPAddress(i);
        in_addr parsed{};
        EXPECT_NE(address, "127.0.0.1");
        EXPECT_TRUE(address.empty() || inet_pton(AF_INET, address.c_str(), &parsed) == 1) << address;
    }
}

} // namespace
