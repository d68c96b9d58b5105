// Peers for the TCP channel tests: the loopback peer script of tests/oracles, free ports, framed messages, and a
// record of what the channel's callbacks reported.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kve/kve_tcp.h"

namespace tcptest {

// A port no socket listens on now: bound on every address, read back and released.
inline int32_t freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ::bind(s, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}

// A header announcing `total` bytes, then the body.
inline std::string framed(uint32_t total, const std::string &body)
{
    const uint32_t words[2] = {kTcpMessageMagic, total};
    return std::string(reinterpret_cast<const char *>(words), sizeof words) + body;
}

// A framed message: the magic word, the total length, the body.
inline std::string frame(const std::string &body)
{
    return framed(static_cast<uint32_t>(body.size() + kTcpHeaderBytes), body);
}

inline std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

inline std::string unhex(const std::string &text)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

// Polls until the condition holds or five seconds have passed.
inline bool waitUntil(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// One run of tests/oracles/tcp_peer.py; its output is read line by line.
class PeerScript {
public:
    explicit PeerScript(const std::string &arguments)
    {
        const std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/tcp_peer.py " + arguments;
        m_pipe = ::popen(command.c_str(), "r");
    }
    ~PeerScript() { finish(); }
    PeerScript(const PeerScript &) = delete;
    PeerScript &operator=(const PeerScript &) = delete;

    // The next line it printed, without its line end; "" once it has ended.
    std::string line()
    {
        std::string text;
        if (m_pipe == nullptr)
            return text;
        int c;
        while ((c = std::fgetc(m_pipe)) != EOF && c != '\n')
            text += static_cast<char>(c);
        return text;
    }

    // Waits for it to end: true when it ended well.
    bool finish()
    {
        if (m_pipe == nullptr)
            return m_status == 0;
        while (std::fgetc(m_pipe) != EOF) {
        }
        m_status = ::pclose(m_pipe);
        m_pipe = nullptr;
        return m_status == 0;
    }

private:
    FILE *m_pipe = nullptr;
    int m_status = -1;
};

// A file holding the bytes a peer sends.
inline std::string bytesFile(const std::string &bytes)
{
    static int serial = 0;
    const std::string path = ::testing::TempDir() + "tcp_peer_" + std::to_string(::getpid()) + "_" +
                             std::to_string(serial++) + ".bin";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Sends the bytes to the local port in chunks cut at the offsets, then ends the connection as `end` says
// (close, reset, line, eof); returns what the peer printed of a reply, as bytes.
inline std::string sendFromPeer(int32_t port, const std::string &bytes, const std::vector<size_t> &cuts = {},
                                const std::string &end = "close")
{
    std::string at;
    for (size_t cut : cuts)
        at += (at.empty() ? "" : ",") + std::to_string(cut);
    const std::string path = bytesFile(bytes);
    PeerScript peer("send " + std::to_string(port) + " " + path + (at.empty() ? "" : " --at " + at) +
                    " --end " + end);
    const std::string printed = peer.line();
    EXPECT_TRUE(peer.finish());
    std::remove(path.c_str());
    return printed.rfind("got ", 0) == 0 ? unhex(printed.substr(4)) : std::string();
}

// What a channel's callbacks reported, in order: "m<count>" for a message, "d" for a disconnect.
struct CallbackLog {
    std::mutex lock;
    std::vector<std::string> events;

    template <class Channel>
    void attach(Channel &channel)
    {
        channel.MessageContext = this;
        channel.DisconnectContext = this;
        channel.MessageCallback = [](void *context, uint64_t queued) -> int32_t {
            static_cast<CallbackLog *>(context)->add("m" + std::to_string(queued));
            return 0;
        };
        channel.DisconnectCallback = [](void *context) -> int32_t {
            static_cast<CallbackLog *>(context)->add("d");
            return 0;
        };
    }
    void add(const std::string &event)
    {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(event);
    }
    std::vector<std::string> snapshot()
    {
        std::lock_guard<std::mutex> guard(lock);
        return events;
    }
    size_t count(const std::string &event)
    {
        size_t n = 0;
        for (const std::string &e : snapshot())
            n += e == event;
        return n;
    }
};

} // namespace tcptest
