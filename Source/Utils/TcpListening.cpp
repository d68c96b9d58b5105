// The listeners both server channels run, for their two receive buffer sizes.
#include "Utils/TcpFraming.h"
#include "kve/kve_tcp.h"

namespace kve::tcp {

template <size_t ReceiveBytes>
ListeningChannel<ReceiveBytes>::ListeningChannel() : m_textBuffer{}, m_binaryBuffer{}
{
}

template <size_t ReceiveBytes>
void ListeningChannel<ReceiveBytes>::KillListener()
{
    {
        std::lock_guard<std::mutex> lock(m_connectionLock);
        m_kill = true;
        wakeListener(m_text);
        wakeListener(m_binary);
    }
    joinListener(m_text);
    joinListener(m_binary);
}

template <size_t ReceiveBytes>
std::string ListeningChannel<ReceiveBytes>::ReadMessage(int socket)
{
    return readText(socket, ReceiveBuffer{m_textBuffer, ReceiveBytes, m_pending});
}

template <size_t ReceiveBytes>
bool ListeningChannel<ReceiveBytes>::OnSocketAccept(const sockaddr_in *, int socket)
{
    return queueNext(socket, m_textBuffer, ReceiveBytes, m_pending);
}

template <size_t ReceiveBytes>
int32_t ListeningChannel<ReceiveBytes>::startListener(Listener &listener, int32_t port, void *(*entry)(void *),
                                                      const char *reuseFailure)
{
    if (listener.running)
        return -1;
    // A listener started after KillListener reads again.
    m_kill = false;
    // Bytes left by a connection the last text listener was stopped on belong to no later one.
    if (&listener == &m_text)
        m_pending = 0;
    return kve::tcp::startListener(listener, port, entry, this, ListenerSchedParam, reuseFailure);
}

template class ListeningChannel<8192>;
template class ListeningChannel<1048576>;

} // namespace kve::tcp
