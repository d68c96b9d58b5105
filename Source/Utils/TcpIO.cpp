// The one-shot channel: every send on a connection of its own; a text listener that reads any number of messages
// per connection and a raw binary listener that takes one receive per connection.
#include "Utils/TcpFraming.h"
#include "kve/kve_tcp.h"

CTcpIO::~CTcpIO()
{
    closeClient();
    KillListener();
}

int32_t CTcpIO::SendTcpMessage(const char *host, int32_t port, const char *text)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int32_t connected = connectTo(host, port);
        if (connected == -1)
            return -1;
        if (connected == 0) {
            const int32_t sent = SendString(m_clientSocket, text);
            closeClient();
            if (sent >= 0)
                return 0;
        }
    }
    return -1;
}

int32_t CTcpIO::SendBinaryMessage(const char *host, int32_t port, const void *bytes, int32_t count)
{
    if (connectTo(host, port) != 0)
        return -1;
    const int32_t result = count > 0 && bytes == nullptr ? -1 : kve::tcp::sendAll(m_clientSocket, bytes, count);
    closeClient();
    return result;
}

int32_t CTcpIO::CreateListenerSocket(int32_t port)
{
    return startListener(m_text, port, &StartListenThread,
                         "CTcpIO::CreateListenerSocket: can't reuse socket, ret=%d\n");
}

int32_t CTcpIO::CreateBinaryListenerSocket(int32_t port)
{
    return startListener(m_binary, port, &StartBinaryListenThread,
                         "CTcpIO::CreateListenerSocket: can't reuse socket, ret=%d\n");
}

bool CTcpIO::OnBinarySocketAccept()
{
    if (m_kill)
        return true;
    const ssize_t got = kve::tcp::receive(m_binary.connection, m_binaryBuffer, kReceiveBytes);
    if (got <= 0)
        return false;
    queueRaw(m_binaryBuffer, static_cast<size_t>(got), false);
    return true;
}

void *CTcpIO::StartListenThread(void *channel)
{
    auto *self = static_cast<CTcpIO *>(channel);
    kve::tcp::runListener(self->m_text, "ListenThread", [self] { self->ListenThread(); });
    return nullptr;
}

void *CTcpIO::StartBinaryListenThread(void *channel)
{
    auto *self = static_cast<CTcpIO *>(channel);
    kve::tcp::runListener(self->m_binary, "TCPBinThread", [self] { self->BinaryListenThread(); });
    return nullptr;
}

void CTcpIO::ListenThread()
{
    kve::tcp::serve(m_text, m_connectionLock, m_kill, nullptr, nullptr,
                    [this](int connection, const sockaddr_in &peer) { return OnSocketAccept(&peer, connection); });
}

void CTcpIO::BinaryListenThread()
{
    // A raw connection carries one message: whatever its first receive returns.
    kve::tcp::serve(m_binary, m_connectionLock, m_kill, nullptr, nullptr, [this](int, const sockaddr_in &) {
        OnBinarySocketAccept();
        return false;
    });
}
