// Each input is what a server answers to one request of the request-response channel, over a real loopback
// connection. Its first byte picks the request: a text, a binary request read as framed or text replies, one read
// raw, or one whose raw reply is reassembled from the length it announces; its second byte is the size of the
// chunks the rest goes out in. The server then closes its side, so every request ends, with a reply or a code.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "kve/kve_tcp_talk.h"

namespace {

int listener = -1;
int32_t port = 0;

void listenOnce()
{
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (bind(listener, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&at), &size) != 0)
        std::abort();
    port = ntohs(at.sin_port);
}

// Takes one connection, reads the request's `requestBytes`, answers with the reply in chunks and closes its side,
// then waits for the channel to close.
void serve(const uint8_t *reply, size_t count, size_t chunk, size_t requestBytes)
{
    const int peer = accept(listener, nullptr, nullptr);
    if (peer < 0)
        return;
    const int on = 1;
    setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    char request[64];
    for (size_t have = 0; have < requestBytes;) {
        const ssize_t got = recv(peer, request, std::min(sizeof request, requestBytes - have), 0);
        if (got <= 0)
            break;
        have += static_cast<size_t>(got);
    }
    for (size_t at = 0; at < count; at += chunk)
        if (send(peer, reply + at, std::min(chunk, count - at), MSG_NOSIGNAL) <= 0)
            break;
    shutdown(peer, SHUT_WR);
    while (recv(peer, request, sizeof request, 0) > 0) {
    }
    close(peer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    if (listener < 0)
        listenOnce();
    static CTcpIOTalk talk;
    const uint8_t kind = data[0] % 4;
    const size_t chunk = size_t{data[1]} + 1;
    static const std::string text = "request";
    static const uint8_t binary[8] = {0x03, 0x00, 0xFF, 0x07, 0x08, 0x00, 0x00, 0x00};
    std::thread server(serve, data + 2, size - 2, chunk, kind == 0 ? text.size() + 1 : sizeof binary);
    std::string reply;
    char *bytes = nullptr;
    uint32_t length = 0;
    int32_t result;
    if (kind == 0)
        result = talk.SendTcpMessage("127.0.0.1", port, text.c_str(), reply, bytes, length, 100);
    else
        result = talk.SendBinaryMessage("127.0.0.1", kind == 3 ? static_cast<int32_t>(0x80000000u | uint32_t(port))
                                                               : port,
                                        binary, sizeof binary, reply, bytes, length, 100, kind >= 2);
    // A reply stands in the buffer with a zero byte behind it (a text one has no length), however long it claims to be.
    const size_t end = length > 0 ? length : reply.size();
    if (result == 1 && (bytes == nullptr || end > CTcpIOTalk::kBufferBytes || bytes[end] != '\0'))
        std::abort();
    talk.KillSocket();
    server.join();
    return 0;
}
