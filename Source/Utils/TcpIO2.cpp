// The kept-connection server channel: each listener reads the connection it accepted until the peer closes it, and
// the host answers on the latest accepted connection still open.
#include "Utils/TcpFraming.h"
#include "kve/kve_tcp.h"

CTcpIO2::~CTcpIO2()
{
    KillSocket();
    KillListener();
}

int32_t CTcpIO2::SendTcpMessage(const char *, int32_t, const char *text)
{
    // Held while sending: the listener closing this connection waits, so the reply never reaches a descriptor
    // closed or reused under it.
    std::lock_guard<std::mutex> lock(m_connectionLock);
    if (m_kept < 0)
        return -1;
    if (SendString(m_kept, text) >= 0)
        return 0;
    KillSocket();
    return -1;
}

int32_t CTcpIO2::SendBinaryMessage(const char *, int32_t, const void *bytes, int32_t count)
{
    std::lock_guard<std::mutex> lock(m_connectionLock);
    if (m_kept < 0 || (count > 0 && bytes == nullptr))
        return -1;
    return kve::tcp::sendAll(m_kept, bytes, count);
}

int32_t CTcpIO2::CreateListenerSocket(int32_t port)
{
    return startListener(m_text, port, &StartListenThread, nullptr);
}

int32_t CTcpIO2::CreateBinaryListenerSocket(int32_t port)
{
    return startListener(m_binary, port, &StartBinaryListenThread, nullptr);
}

bool CTcpIO2::OnBinarySocketAccept()
{
    if (m_kill)
        return true;
    for (;;) {
        const ssize_t got = kve::tcp::receive(m_binary.connection, m_binaryBuffer, kReceiveBytes);
        if (got <= 0) {
            tellDisconnect();
            return false;
        }
        queueRaw(m_binaryBuffer, static_cast<size_t>(got), true);
        if (m_kill)
            return true;
    }
}

void *CTcpIO2::StartListenThread(void *channel)
{
    auto *self = static_cast<CTcpIO2 *>(channel);
    kve::tcp::runListener(self->m_text, "TCPListenThread", [self] { self->ListenThread(); });
    return nullptr;
}

void *CTcpIO2::StartBinaryListenThread(void *channel)
{
    auto *self = static_cast<CTcpIO2 *>(channel);
    kve::tcp::runListener(self->m_binary, "TCPBinThread", [self] { self->BinaryListenThread(); });
    return nullptr;
}

void CTcpIO2::ListenThread()
{
    kve::tcp::serve(m_text, m_connectionLock, m_kill, &m_kept,
                    [this](int connection, const sockaddr_in &peer) { return OnSocketAccept(&peer, connection); });
}

void CTcpIO2::BinaryListenThread()
{
    kve::tcp::serve(m_binary, m_connectionLock, m_kill, &m_kept,
                    [this](int, const sockaddr_in &) { return OnBinarySocketAccept(); });
}
