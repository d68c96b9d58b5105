// The kept-connection server channel: each listener reads the connection it accepted until the peer closes it, and
// the host answers on the latest accepted connection still open.
#include <unistd.h>

#include "Utils/TcpFraming.h"
#include "kve/kve_tcp.h"

namespace {

// A descriptor of the send's own on the kept connection's socket, or -1 when there is none. The listener may close
// the kept descriptor meanwhile: its number may then be reused, never this one, and the shutdown that comes with
// the close makes a send under way fail at once. So a send that blocks on a peer that does not read holds no lock
// the listeners or KillListener wait for.
int borrow(std::mutex &lock, const int &kept)
{
    std::lock_guard<std::mutex> guard(lock);
    return kept < 0 ? -1 : ::dup(kept);
}

} // namespace

CTcpIO2::~CTcpIO2()
{
    KillSocket();
    KillListener();
}

int32_t CTcpIO2::SendTcpMessage(const char *, int32_t, const char *text)
{
    const int connection = borrow(m_connectionLock, m_kept);
    if (connection < 0)
        return -1;
    const int32_t sent = SendString(connection, text);
    ::close(connection);
    if (sent >= 0)
        return 0;
    KillSocket();
    return -1;
}

int32_t CTcpIO2::SendBinaryMessage(const char *, int32_t, const void *bytes, int32_t count)
{
    if (count > 0 && bytes == nullptr)
        return -1;
    const int connection = borrow(m_connectionLock, m_kept);
    if (connection < 0)
        return -1;
    const int32_t result = kve::tcp::sendAll(connection, bytes, count);
    ::close(connection);
    return result;
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
    kve::tcp::serve(m_text, m_connectionLock, m_kill, &m_kept, &m_binary,
                    [this](int connection, const sockaddr_in &peer) { return OnSocketAccept(&peer, connection); });
}

void CTcpIO2::BinaryListenThread()
{
    kve::tcp::serve(m_binary, m_connectionLock, m_kill, &m_kept, &m_text,
                    [this](int, const sockaddr_in &) { return OnBinarySocketAccept(); });
}
