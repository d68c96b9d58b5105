// The request-response channel: a request goes out on the kept connection and the reply is read back into the
// channel's buffer, each receive waiting at most the caller's time-out.
#include "kve/kve_tcp_talk.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace {

constexpr uint8_t kMagicBytes[4] = {0x03, 0x00, 0xFF, 0x07}; // the framed message's first word, 0x07FF0003
constexpr uint32_t kHeaderBytes = 8;
constexpr size_t kTextChunk = 1024;
constexpr int64_t kTickMs = 100;

uint32_t littleEndianWord(const char *at)
{
    const auto *b = reinterpret_cast<const uint8_t *>(at);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// Whether the first `count` bytes are, or may still become, the start of a framed message: such a reply is read by
// its length and never cut at a line feed, even one inside its header.
bool framedStart(const char *bytes, uint32_t count)
{
    return std::memcmp(bytes, kMagicBytes, std::min<uint32_t>(count, sizeof kMagicBytes)) == 0;
}

// How long one receive may wait: whole ticks of 100 ms, timeout / 10 of them but at least one; -1 for no limit.
int64_t waitLimitMs(int32_t timeout)
{
    return timeout < 0 ? -1 : std::max<int64_t>(timeout / 10, 1) * kTickMs;
}

} // namespace

CTcpIOTalk::CTcpIOTalk() : m_buffer(kBufferBytes + 1, 0) {}

CTcpIOTalk::~CTcpIOTalk()
{
    KillSocket();
}

hostent *CTcpIOTalk::TranslateAddress(const char *host)
{
    if (host == nullptr || host[0] == '\0' || std::isdigit(static_cast<unsigned char>(host[0])))
        return nullptr;
    // Each thread resolves into its own record, so channels on different threads never read each other's lookup.
    thread_local hostent entry;
    thread_local char scratch[8192];
    hostent *result = nullptr;
    int error = 0;
    if (gethostbyname_r(host, &entry, scratch, sizeof scratch, &result, &error) != 0)
        return nullptr;
    return result;
}

void CTcpIOTalk::SetHostEnt(const char *host, int32_t port)
{
    const uint16_t networkPort = htons(static_cast<uint16_t>(port & 0xFFFF));
    // The host is compared too: a new host on the same port must not reach the old one.
    const std::string hostText = host != nullptr ? host : "";
    if (networkPort == m_port && hostText == m_host)
        return;
    KillSocket();
    m_port = networkPort;
    m_host = hostText;
    const hostent *entry = TranslateAddress(host);
    m_hasAddress = entry != nullptr && entry->h_addrtype == AF_INET && entry->h_length == sizeof(in_addr) &&
                   entry->h_addr_list[0] != nullptr;
    if (m_hasAddress)
        std::memcpy(&m_address, entry->h_addr_list[0], sizeof m_address);
}

void CTcpIOTalk::MakeSocket()
{
    if (m_socket >= 0)
        return;
    m_socket = socket(AF_INET, SOCK_STREAM, 0);
    if (m_socket < 0)
        return;
    const int on = 1;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int32_t CTcpIOTalk::ConnectSocket(in_addr_t address, int32_t)
{
    if (m_connected)
        return 0;
    if (m_socket < 0)
        return -1;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = m_port;
    if (address != 0)
        peer.sin_addr.s_addr = address;
    else if (m_hasAddress)
        peer.sin_addr = m_address;
    if (peer.sin_addr.s_addr != 0 && connect(m_socket, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0) {
        m_connected = true;
        return 0;
    }
    close(m_socket);
    m_socket = -1;
    return -1;
}

void CTcpIOTalk::KillSocket()
{
    if (m_socket >= 0)
        close(m_socket);
    m_socket = -1;
    m_connected = false;
    m_port = 0;
    m_host.clear();
    m_hasAddress = false;
}

int32_t CTcpIOTalk::SendString(int socket, const char *text)
{
    if (text == nullptr || text[0] == '\0')
        return 0;
    std::string line(text);
    if (line.back() != '\n')
        line += '\n';
    for (size_t at = 0; at < line.size();) {
        const ssize_t sent = send(socket, line.data() + at, std::min(kTextChunk, line.size() - at), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return static_cast<int32_t>(sent);
        at += static_cast<size_t>(sent);
    }
    return 0;
}

int32_t CTcpIOTalk::Open(const char *host, int32_t port)
{
    SetHostEnt(host, port);
    in_addr_t address = 0;
    if (!m_hasAddress) {
        // Only a dotted quad stands for itself; 0.0.0.0 would mean "the resolved destination", of which there is
        // none.
        in_addr dotted{};
        if (host == nullptr || !std::isdigit(static_cast<unsigned char>(host[0])) ||
            inet_pton(AF_INET, host, &dotted) != 1 || dotted.s_addr == 0) {
            // Forgetting the port makes the next request resolve its host again, whatever port it names.
            KillSocket();
            return -1;
        }
        address = dotted.s_addr;
    }
    MakeSocket();
    if (ConnectSocket(address, 0) != 0) {
        KillSocket();
        return -1;
    }
    return 0;
}

int32_t CTcpIOTalk::ReceiveInto(uint32_t offset, uint32_t capacity, int32_t timeout, int32_t &received)
{
    if (m_socket < 0)
        return kReceiveFailed;
    // The wait is measured here and the socket closed by this thread alone, so no descriptor is ever closed under a
    // receive that waits on it.
    using Clock = std::chrono::steady_clock;
    const int64_t limitMs = waitLimitMs(timeout);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(limitMs, 0));
    for (;;) {
        int waitMs = -1;
        if (limitMs >= 0) {
            const int64_t left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return kTimedOut;
            waitMs = static_cast<int>(std::min<int64_t>(left, INT_MAX));
        }
        pollfd ready{m_socket, POLLIN, 0};
        const int polled = poll(&ready, 1, waitMs);
        if (polled < 0 && errno != EINTR)
            return kReceiveFailed;
        if (polled <= 0)
            continue;
        const ssize_t got = recv(m_socket, m_buffer.data() + offset, capacity, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (got < 0)
            return kReceiveFailed;
        if (got == 0)
            return kPeerClosed;
        received = static_cast<int32_t>(got);
        return 1;
    }
}

int32_t CTcpIOTalk::GetBinaryMessage(std::string &reply, char *&data, uint32_t &length, int32_t timeout, bool raw)
{
    reply.clear();
    length = 0;
    m_buffer[0] = '\0';
    data = m_buffer.data();
    const int32_t result = ReadReply(reply, length, timeout, raw);
    if (result < 0)
        KillSocket();
    return result;
}

int32_t CTcpIOTalk::ReadReply(std::string &reply, uint32_t &length, int32_t timeout, bool raw)
{
    char *buffer = m_buffer.data();
    uint32_t gathered = 0;
    for (;;) {
        // A text reply that fills the buffer without its line feed can never complete.
        if (gathered == kBufferBytes)
            return kPeerClosed;
        int32_t received = 0;
        const int32_t result = ReceiveInto(gathered, kBufferBytes - gathered, timeout, received);
        if (result < 0)
            return result;
        gathered += static_cast<uint32_t>(received);
        buffer[gathered] = '\0';
        if (raw) {
            length = gathered;
            return 1;
        }
        if (framedStart(buffer, gathered)) {
            if (gathered < kHeaderBytes)
                continue;
            const uint32_t total = littleEndianWord(buffer + 4);
            if (total < kHeaderBytes || total > kBufferBytes)
                return kBadLength;
            if (gathered < total)
                continue;
            reply.assign(buffer, total);
            length = total;
            buffer[total] = '\0';
            return 1;
        }
        if (const void *lineFeed = std::memchr(buffer, '\n', gathered)) {
            const auto textBytes = static_cast<uint32_t>(static_cast<const char *>(lineFeed) - buffer);
            reply.assign(buffer, textBytes);
            buffer[textBytes] = '\0';
            return 1;
        }
    }
}

int32_t CTcpIOTalk::SendTcpMessage(const char *host, int32_t port, const char *text, std::string &reply, char *&data,
                                   uint32_t &length, int32_t timeout)
{
    // A request naming another host text or port than the open connection's must not get the reply of the server
    // connected before: selecting its destination closes that connection.
    SetHostEnt(host, port);
    for (int pass = 0; pass < 3; ++pass) {
        if (m_socket < 0) {
            if (Open(host, port) != 0)
                return -1;
            continue;
        }
        if (!m_connected) {
            KillSocket();
            return -1;
        }
        if (SendString(m_socket, text) == 0)
            return GetBinaryMessage(reply, data, length, timeout, false);
        KillSocket();
    }
    return -1;
}

int32_t CTcpIOTalk::SendBinaryMessage(const char *host, int32_t port, const void *bytes, int32_t count,
                                      std::string &reply, char *&data, uint32_t &length, int32_t timeout, bool raw)
{
    // Bytes that cannot go out leave the open connection as it is, whatever destination they name.
    if (count < 0 || (count > 0 && bytes == nullptr))
        return kSendFailed;
    SetHostEnt(host, port); // as for a text request
    if (m_socket < 0 && Open(host, port) != 0)
        return -1;
    const auto *out = static_cast<const char *>(bytes);
    for (int32_t at = 0; at < count;) {
        const ssize_t sent = send(m_socket, out + at, static_cast<size_t>(count - at), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return kSendFailed;
        at += static_cast<int32_t>(sent);
    }
    const int32_t result = GetBinaryMessage(reply, data, length, timeout, raw);
    if (result < 0 || port >= 0)
        return result;
    return Reassemble(reply, data, length, timeout, raw);
}

int32_t CTcpIOTalk::Reassemble(std::string &reply, char *&data, uint32_t &length, int32_t timeout, bool raw)
{
    // A segment's bytes are the framed message or raw bytes in the buffer, or the text of a text reply.
    const auto append = [this](const std::string &text, const char *bytes, uint32_t count) {
        if (count > 0)
            m_gathered.insert(m_gathered.end(), bytes, bytes + count);
        else
            m_gathered.insert(m_gathered.end(), text.begin(), text.end());
    };
    // A command packet gives its size in 32-bit words at byte offset 2: segments are gathered until that size word is
    // in, and then until the packet is.
    const auto complete = [this] {
        return m_gathered.size() >= 4 &&
               m_gathered.size() >= size_t{littleEndianWord(m_gathered.data()) >> 16} * sizeof(uint32_t);
    };
    m_gathered.clear();
    append(reply, data, length);
    while (!complete()) {
        std::string segmentReply;
        char *segmentData = nullptr;
        uint32_t segmentLength = 0;
        const int32_t result = GetBinaryMessage(segmentReply, segmentData, segmentLength, timeout, raw);
        if (result < 0)
            return result;
        append(segmentReply, segmentData, segmentLength);
        if (m_gathered.size() > kBufferBytes) {
            KillSocket();
            return kBadLength;
        }
    }
    std::memcpy(m_buffer.data(), m_gathered.data(), m_gathered.size());
    m_buffer[m_gathered.size()] = '\0';
    data = m_buffer.data();
    length = static_cast<uint32_t>(m_gathered.size());
    return 1;
}

std::string CTcpIOTalk::GetIPAddress(int32_t index)
{
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return "";
    std::vector<std::string> found;
    for (const ifaddrs *at = interfaces; at != nullptr; at = at->ifa_next) {
        if (at->ifa_addr == nullptr || at->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN];
        const auto *address = reinterpret_cast<const sockaddr_in *>(at->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr && std::strcmp(text, "127.0.0.1"))
            found.emplace_back(text);
    }
    freeifaddrs(interfaces);
    if (found.empty())
        return "";
    return found[index >= 0 && static_cast<size_t>(index) < found.size() ? static_cast<size_t>(index) : 0];
}
