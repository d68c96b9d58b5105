// Each input is a stream of chunks, each a length byte and then up to that many bytes, written one after another
// into a connected socket pair whose other end the message reader of the TCP channel reads, until the reader calls
// the connection over. A chunk is written only once the reader has taken in every byte of the ones before it, so
// the chunks reach it as receives of their own and a run repeats exactly. Every message the reader queues must be
// a whole framed message of a length the buffer holds, or a non-empty text the buffer holds, without a line feed or
// a zero byte.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "kve/kve_tcp.h"

namespace {

// A length byte below 192 gives 1 to 192 bytes; above, multiples of 256 up to 16384, past the reader's buffer.
size_t chunkLength(uint8_t code)
{
    return code < 192 ? code + 1u : (code - 191u) * 256u;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkQueued(CTcpIO &channel)
{
    std::string message;
    const char *data = nullptr;
    uint32_t length = 0;
    for (int32_t kind; (kind = channel.GetBinaryMessage(message, data, length)) >= 0;) {
        check(data == message.data());
        if (kind == 1) {
            check(length == message.size());
            check(length >= kTcpHeaderBytes && length <= CTcpIO::kReceiveBytes);
        } else {
            check(!message.empty() && message.size() <= CTcpIO::kReceiveBytes);
            check(message.find('\n') == std::string::npos);
            check(message.find('\0') == std::string::npos);
        }
    }
}

// Waits until the reader has taken in every written byte, or has ended.
void waitDrained(int readerEnd, const std::atomic<bool> &ended)
{
    for (;;) {
        int unread = 0;
        if (ended || ::ioctl(readerEnd, FIONREAD, &unread) != 0 || unread == 0)
            return;
        std::this_thread::yield();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static CTcpIO *channel = new CTcpIO;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        while (channel->OnSocketAccept(nullptr, pair[0])) {
        }
        ended = true;
    });
    for (size_t at = 0; at < size && !ended;) {
        const size_t length = std::min(chunkLength(data[at]), size - at - 1);
        const uint8_t *chunk = data + at + 1;
        at += 1 + length;
        waitDrained(pair[0], ended);
        for (size_t sent = 0; sent < length && !ended;) {
            const ssize_t n = ::send(pair[1], chunk + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else if (errno == EAGAIN || errno == EWOULDBLOCK)
                waitDrained(pair[0], ended);
            else
                break;
        }
    }
    ::shutdown(pair[1], SHUT_WR);
    reader.join();
    ::close(pair[0]);
    ::close(pair[1]);
    checkQueued(*channel);
    return 0;
}
