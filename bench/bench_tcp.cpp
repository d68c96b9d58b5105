// A loopback round trip of the request-response channel to the kept-connection server, in turns with a bare socket
// ping-pong of the same messages between two threads: the counter talk_over_bare is the channels' cost as a
// multiple of the sockets' own.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>

#include "BenchReport.h"
#include "kve/kve_tcp.h"
#include "kve/kve_tcp_talk.h"

namespace {

const std::string kRequest = "measure-0123456"; // 16 bytes on the wire with its line feed, and so is the answer

// A loopback listening socket on a free port.
int listenOnLoopback(int32_t &port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (bind(s, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || listen(s, 1) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr *>(&at), &size) != 0) {
        close(s);
        return -1;
    }
    port = ntohs(at.sin_port);
    return s;
}

void noDelay(int s)
{
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Receives through the next line feed; false when the connection ends first.
bool receiveLine(int s, char *buffer, size_t capacity, size_t &have)
{
    have = 0;
    while (have == 0 || buffer[have - 1] != '\n') {
        const ssize_t got = recv(s, buffer + have, capacity - have, 0);
        if (got <= 0)
            return false;
        have += static_cast<size_t>(got);
    }
    return true;
}

// The bare peer: a thread echoing every line on one accepted connection, and the client's socket.
class BarePingPong {
public:
    BarePingPong()
    {
        int32_t port = 0;
        const int listener = listenOnLoopback(port);
        if (listener < 0)
            return;
        m_echo = std::thread([listener] {
            const int peer = accept(listener, nullptr, nullptr);
            close(listener);
            if (peer < 0)
                return;
            noDelay(peer);
            char buffer[256];
            size_t have = 0;
            while (receiveLine(peer, buffer, sizeof buffer, have) && send(peer, buffer, have, MSG_NOSIGNAL) > 0) {
            }
            close(peer);
        });
        m_client = socket(AF_INET, SOCK_STREAM, 0);
        noDelay(m_client);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = connect(m_client, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
    }
    ~BarePingPong()
    {
        shutdown(m_client, SHUT_RDWR);
        close(m_client);
        if (m_echo.joinable())
            m_echo.join();
    }
    bool ok() const { return m_ok; }

    bool roundTrip()
    {
        const std::string line = kRequest + "\n";
        char buffer[256];
        size_t have = 0;
        return send(m_client, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size()) &&
               receiveLine(m_client, buffer, sizeof buffer, have) && have == line.size();
    }

private:
    std::thread m_echo;
    int m_client = -1;
    bool m_ok = false;
};

// The kept-connection server echoing every text from its listener thread.
struct EchoServer {
    std::unique_ptr<CTcpIO2> channel = std::make_unique<CTcpIO2>();
    int32_t port = 0;
    bool ok = false;

    EchoServer()
    {
        const int probe = listenOnLoopback(port);
        close(probe);
        channel->MessageContext = channel.get();
        channel->MessageCallback = [](void *context, uint64_t) -> int32_t {
            auto *server = static_cast<CTcpIO2 *>(context);
            for (std::string text; !(text = server->GetMessage()).empty();)
                server->SendTcpMessage(nullptr, 0, text.c_str());
            return 0;
        };
        ok = probe >= 0 && channel->CreateListenerSocket(port) == 0;
    }
};

void TalkRoundTrip(benchmark::State &state)
{
    EchoServer server;
    BarePingPong bare;
    CTcpIOTalk talk;
    std::string reply;
    char *data = nullptr;
    uint32_t length = 0;
    const auto talkTrip = [&] {
        return talk.SendTcpMessage("127.0.0.1", server.port, kRequest.c_str(), reply, data, length, 100) == 1 &&
               reply == kRequest;
    };
    if (!server.ok || !bare.ok() || !talkTrip()) {
        state.SkipWithError("the loopback peers cannot be set up");
        return;
    }
    bool failed = false;
    const auto [talkTime, bareTime] =
        timeInTurns(state, [&] { failed |= !talkTrip(); }, [&] { failed |= !bare.roundTrip(); });
    if (failed)
        state.SkipWithError("a round trip failed");
    const auto trips = static_cast<double>(state.iterations());
    state.counters["talk_over_bare"] = talkTime / bareTime;
    state.counters["talk_us"] = talkTime / trips * 1e6;
    state.counters["bare_us"] = bareTime / trips * 1e6;
}
BENCHMARK(TalkRoundTrip)->UseRealTime()->MinTime(1.0);

} // namespace
