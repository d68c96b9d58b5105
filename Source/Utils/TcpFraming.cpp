// Reading framed and text messages from a connection, and the listeners' sockets and threads.
#include "Utils/TcpFraming.h"

#include <arpa/inet.h>
#include <endian.h>
#include <netinet/tcp.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "kve/kve_log.h"

namespace kve::tcp {

namespace {

// kTcpMessageMagic as it stands on the wire.
constexpr uint8_t kMagicBytes[4] = {0x03, 0x00, 0xFF, 0x07};

uint32_t wordAt(const uint8_t *bytes)
{
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return le32toh(word);
}

// True while the buffered bytes may still be the start of a framed message: the kind of a message is decided only
// once its first bytes are in, so a length byte of 0x0A is never read as the end of a text.
bool startsFrame(const ReceiveBuffer &buffer)
{
    const size_t n = std::min<uint64_t>(buffer.pending, sizeof kMagicBytes);
    return std::memcmp(buffer.bytes, kMagicBytes, n) == 0;
}

void drop(ReceiveBuffer &buffer)
{
    buffer.pending = 0;
    buffer.bytes[0] = 0;
}

// Removes the first `count` bytes; the bytes of later messages move to the start.
void consume(ReceiveBuffer &buffer, size_t count)
{
    std::memmove(buffer.bytes, buffer.bytes + count, buffer.pending - count);
    buffer.pending -= count;
    buffer.bytes[buffer.pending] = 0;
}

// Receives behind the buffered bytes, as many as fit: false when the connection ended.
bool fill(int socket, ReceiveBuffer &buffer)
{
    const ssize_t got = receive(socket, buffer.bytes + buffer.pending, buffer.capacity - buffer.pending);
    if (got <= 0)
        return false;
    buffer.pending += static_cast<uint64_t>(got);
    buffer.bytes[buffer.pending] = 0;
    return true;
}

// Appends the `count` bytes as text: a zero byte among them ends the text they give.
void appendText(std::string &text, const uint8_t *bytes, size_t count)
{
    const void *zero = std::memchr(bytes, 0, count);
    const size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - bytes) : count;
    text.append(reinterpret_cast<const char *>(bytes), length);
}

// The framed message at the buffer's start, whose header is in.
std::string readFrame(int socket, ReceiveBuffer &buffer)
{
    const uint32_t total = wordAt(buffer.bytes + 4);
    // A length the buffer cannot hold, or one shorter than its own header, can never be delivered.
    if (total < kTcpHeaderBytes || total > buffer.capacity)
        return {};
    while (buffer.pending < total) {
        if (!fill(socket, buffer))
            return {};
    }
    std::string message(reinterpret_cast<const char *>(buffer.bytes), total);
    consume(buffer, total);
    return message;
}

} // namespace

std::string readMessage(int socket, ReceiveBuffer buffer)
{
    while (buffer.pending == 0 || (buffer.pending < kTcpHeaderBytes && startsFrame(buffer))) {
        if (!fill(socket, buffer)) {
            drop(buffer);
            return {};
        }
    }
    std::string message = startsFrame(buffer) ? readFrame(socket, buffer) : readText(socket, buffer);
    if (message.empty())
        drop(buffer);
    return message;
}

std::string readText(int socket, ReceiveBuffer buffer)
{
    std::string text;
    size_t taken = 0; // bytes of the text already taken out of the buffer
    size_t scanned = 0;
    for (;;) {
        const void *lineFeed = std::memchr(buffer.bytes + scanned, '\n', buffer.pending - scanned);
        const size_t length = lineFeed != nullptr
                                  ? static_cast<size_t>(static_cast<const uint8_t *>(lineFeed) - buffer.bytes)
                                  : buffer.pending;
        // Like a framed message, a text is at most a buffer long: a peer sending no line feed must not make the
        // listener hold ever more of it.
        if (taken + length > buffer.capacity) {
            drop(buffer);
            return {};
        }
        if (lineFeed != nullptr) {
            appendText(text, buffer.bytes, length);
            consume(buffer, length + 1);
            return text;
        }
        // A text filling the whole buffer is taken out to see whether its line feed comes next.
        if (buffer.pending == buffer.capacity) {
            appendText(text, buffer.bytes, buffer.pending);
            taken = buffer.pending;
            drop(buffer);
        }
        scanned = buffer.pending;
        if (!fill(socket, buffer)) {
            appendText(text, buffer.bytes, buffer.pending);
            drop(buffer);
            return text;
        }
    }
}

ssize_t receive(int socket, void *bytes, size_t count)
{
    ssize_t got;
    do
        got = ::recv(socket, bytes, count, 0);
    while (got < 0 && errno == EINTR);
    return got;
}

int32_t sendAll(int socket, const void *bytes, int32_t count)
{
    if (count < 0)
        return -1;
    const auto *next = static_cast<const uint8_t *>(bytes);
    auto left = static_cast<size_t>(count);
    while (left > 0) {
        const ssize_t sent = ::send(socket, next, left, MSG_NOSIGNAL);
        if (sent <= 0)
            return -1;
        next += sent;
        left -= static_cast<size_t>(sent);
    }
    return 0;
}

void closeSocket(int &socket)
{
    if (socket < 0)
        return;
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    socket = -1;
}

int32_t startListener(Listener &listener, int32_t port, void *(*entry)(void *), void *channel,
                      const sched_param &param, const char *reuseFailure)
{
    // A listener whose accept failed has ended on its own: collect its thread before starting anew.
    joinListener(listener);
    int socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket < 0)
        return -1;
    const int one = 1;
    const int reuse = ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (reuse != 0 && reuseFailure != nullptr)
        Trace(reuseFailure, reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(socket, 5) != 0) {
        ::close(socket);
        return -1;
    }
    listener.socket = socket;
    listener.running = true;
    if (::pthread_create(&listener.thread, nullptr, entry, channel) != 0) {
        listener.running = false;
        closeSocket(listener.socket);
        return -1;
    }
    listener.hasThread = true;
    // Refused without the privilege or for priority 0: the thread then runs under the default policy.
    ::pthread_setschedparam(listener.thread, SCHED_RR, &param);
    return 0;
}

void joinListener(Listener &listener)
{
    if (listener.hasThread) {
        ::pthread_join(listener.thread, nullptr);
        listener.hasThread = false;
    }
    closeSocket(listener.socket);
}

void wakeListener(Listener &listener)
{
    if (listener.socket >= 0)
        ::shutdown(listener.socket, SHUT_RDWR);
    if (listener.connection >= 0)
        ::shutdown(listener.connection, SHUT_RDWR);
}

void nameThread(const char *name)
{
    ::prctl(PR_SET_NAME, name, 0, 0, 0);
}

int acceptConnection(Listener &listener, sockaddr_in &peer)
{
    int connection;
    do {
        socklen_t size = sizeof peer;
        connection = ::accept(listener.socket, reinterpret_cast<sockaddr *>(&peer), &size);
    } while (connection < 0 && errno == EINTR);
    if (connection >= 0) {
        // Answers on the connection go out at once, not held back for more.
        const int one = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return connection;
}

} // namespace kve::tcp
