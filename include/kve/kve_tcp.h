// Message channels over TCP on IPv4 for host programs.
//
// A message on the wire is either a text, a run of bytes holding neither a zero byte nor a line feed and ended by
// one line feed (a carriage return before it stays in the text), or a framed binary message: the word
// kTcpMessageMagic, the total length in bytes counting the kTcpHeaderBytes header bytes, then the body (words
// little-endian). Texts and framed messages may follow each other on one connection. The senders put the caller's
// bytes on the wire as they stand: the caller builds the header.
//
// CTcpIO sends each message on a connection of its own and runs up to two listeners that queue what arrives.
// CTcpIO2 keeps each accepted connection open, queues every message on it and answers on it. Every call reports
// failure through its result and lets no exception out; a send to a peer that has gone returns its failure result
// and never raises SIGPIPE.
#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr uint32_t kTcpMessageMagic = 0x07FF0003;
constexpr uint32_t kTcpHeaderBytes = 8;

// One message of a raw binary port: exactly the bytes one receive returned.
struct SReceiveMessage {
    std::vector<uint8_t> bytes;
};

// Called on the listener thread that queued a message, outside the queue lock, with the number of records now in
// the queue it went to; the result is ignored.
using TcpMessageCallback = int32_t (*)(void *context, uint64_t queued);
// Called on the listener thread when a peer's connection ends; the result is ignored.
using TcpDisconnectCallback = int32_t (*)(void *context);

namespace kve::tcp {

// The client socket a channel connects with, and its destination. Its calls may come from several host threads at
// once: a failed answer of a server channel drops the client socket on whichever thread sent it.
class ClientSocket {
public:
    // The resolved entry of a host name, or null for a null or empty text, a text starting with a decimal digit
    // (an address, never looked up) and a name that does not resolve. The entry belongs to the calling thread and
    // stays valid until its next call.
    static hostent *TranslateAddress(const char *host);
    // Selects the destination: when the port or the host text differs from the stored one, the client socket is
    // closed and the host is resolved anew; its address is copied.
    void SetHostEnt(const char *host, int32_t port);
    // Opens the client socket (TCP_NODELAY) when none is open: 0 when one is open afterwards, else -1.
    int32_t MakeSocket();
    // Connects the client socket, unless already connected, to the destination port at the IPv4 address (network
    // order), or at the resolved host's address when it is 0: 0 when connected, else -1 with the socket closed.
    int32_t ConnectSocket(uint32_t address);
    // Closes the client socket and forgets the destination.
    void KillSocket();
    // Sends the text, a line feed appended unless it ends in one, in chunks of at most 1024 bytes: 0 when all went
    // out (an empty or null text sends nothing), else the failing send's result (0 or negative).
    int32_t SendString(int socket, const char *text);
    // The dotted IPv4 address at the index among this machine's interface addresses other than 127.0.0.1; the
    // first one when the index is out of range; "" when there is none.
    std::string GetIPAddress(int32_t index);

protected:
    ClientSocket() = default;
    ~ClientSocket();
    ClientSocket(const ClientSocket &) = delete;
    ClientSocket &operator=(const ClientSocket &) = delete;
    // Closes the client socket, keeping the destination.
    void closeClient();
    // Connects to the destination: 0 connected, -1 refused or unresolvable, -2 no socket could be opened.
    int32_t connectTo(const char *host, int32_t port);

    // Guards the client socket and its destination; held through a connect, so no call closes the socket under it.
    std::recursive_mutex m_clientLock;
    int m_clientSocket = -1;
    bool m_connected = false;
    uint16_t m_port = 0; // network order
    bool m_hasHost = false;
    in_addr m_hostAddress{};
    std::string m_hostText;
};

// The queues the listeners fill and the host drains, and the callbacks that tell the host.
class MessageQueues {
public:
    void *MessageContext = nullptr;
    void *DisconnectContext = nullptr;
    TcpMessageCallback MessageCallback = nullptr;
    TcpDisconnectCallback DisconnectCallback = nullptr;

    // The oldest queued text (without its line feed) or framed message (header included); "" when none.
    std::string GetMessage();
    uint64_t GetMessageCount();
    // Takes the oldest queued message into `message` and points `data` at its first byte: 1 for a framed message,
    // with `length` set to its total length; 0 for a text, `length` untouched; -1 when the queue is empty, the
    // outputs untouched.
    int32_t GetBinaryMessage(std::string &message, const char *&data, uint32_t &length);
    // The oldest record of the raw binary queue, taken out, or an empty record when there is none; valid until the
    // next call.
    SReceiveMessage &BinaryGetMessage();
    uint64_t GetBinaryMessageCount();

protected:
    MessageQueues() = default;
    ~MessageQueues() = default;
    MessageQueues(const MessageQueues &) = delete;
    MessageQueues &operator=(const MessageQueues &) = delete;
    // Reads the connection's next message through its receive buffer (`capacity` bytes, one more for a zero byte,
    // the first `pending` of them kept from earlier receives) and queues it: false when the connection is over.
    bool queueNext(int socket, uint8_t *buffer, size_t capacity, uint64_t &pending);
    // Queues one raw message, telling the host when `tell` is set.
    void queueRaw(const uint8_t *bytes, size_t count, bool tell);
    void tellDisconnect();

    std::recursive_mutex m_queueLock;
    std::deque<std::string> m_messages;
    std::deque<std::unique_ptr<SReceiveMessage>> m_binaryQueue;
    SReceiveMessage m_current;
};

// One listener: its socket, its thread, and the connection it is reading.
struct Listener {
    int socket = -1;
    int connection = -1;
    pthread_t thread{};
    bool hasThread = false;
    std::atomic<bool> running{false};
};

// What both server channels share: the listeners, their threads and the text receive buffer, `ReceiveBytes`
// bytes (and one for a terminating zero byte), holding the bytes of later messages already received.
template <size_t ReceiveBytes>
class ListeningChannel : public ClientSocket, public MessageQueues {
public:
    static constexpr size_t kReceiveBytes = ReceiveBytes;

    // Priority asked for the listener threads, with the round-robin real-time policy; a refusal is ignored.
    sched_param ListenerSchedParam{};

    // Stops both listeners, closing their connections, and waits for their threads.
    void KillListener();
    // The next text on the connection (bytes of later messages stay in the text receive buffer): "" when the
    // connection ended with nothing gathered or the text grew longer than the buffer. Not while the text listener
    // runs.
    std::string ReadMessage(int socket);
    // Reads and queues one message from the connection: false when the connection is over (its pending bytes
    // dropped, the disconnect callback called). Not while the text listener runs.
    bool OnSocketAccept(const sockaddr_in *peer, int socket);

protected:
    ListeningChannel();
    ~ListeningChannel() = default;
    // Starts a listener's socket and thread: 0 when it runs, else -1 (also when it already runs).
    int32_t startListener(Listener &listener, int32_t port, void *(*entry)(void *), const char *reuseFailure);

    std::atomic<bool> m_kill{false};
    // Guards the listeners' connection sockets between the listener threads, KillListener and the sends.
    std::mutex m_connectionLock;
    Listener m_text;
    Listener m_binary;
    uint64_t m_pending = 0;
    uint8_t m_textBuffer[ReceiveBytes + 1];
    uint8_t m_binaryBuffer[ReceiveBytes];
};

extern template class ListeningChannel<8192>;
extern template class ListeningChannel<1048576>;

} // namespace kve::tcp

// A one-shot sender and a two-port receiver. The callbacks, their contexts and ListenerSchedParam are set before a
// listener starts; KillListener and destruction are never called from a callback.
class CTcpIO : public kve::tcp::ListeningChannel<8192> {
public:
    CTcpIO() = default;
    ~CTcpIO();

    // Sends the text on a fresh connection, up to three attempts: 0 when it went out, else -1.
    int32_t SendTcpMessage(const char *host, int32_t port, const char *text);
    // Sends the bytes on a fresh connection: 0 when every byte went out, else -1.
    int32_t SendBinaryMessage(const char *host, int32_t port, const void *bytes, int32_t count);
    // Starts the text listener on every local address at the port: 0 when it runs, else -1 (also when it already
    // runs).
    int32_t CreateListenerSocket(int32_t port);
    // Starts the raw binary listener (one message per connection): 0 when it runs, else -1.
    int32_t CreateBinaryListenerSocket(int32_t port);
    // Reads one raw message from the binary listener's connection: false when none came.
    bool OnBinarySocketAccept();

private:
    static void *StartListenThread(void *channel);
    static void *StartBinaryListenThread(void *channel);
    void ListenThread();
    void BinaryListenThread();
};

// A server channel: each listener keeps the connection it accepted until the peer closes it and queues every
// message on it; the host answers on the kept connection, the latest accepted one still open. Over 2 MB: create
// it once per server, on the heap. The callbacks, their contexts and ListenerSchedParam are set before a listener
// starts; KillListener and destruction are never called from a callback.
class CTcpIO2 : public kve::tcp::ListeningChannel<1048576> {
public:
    CTcpIO2() = default;
    ~CTcpIO2();

    // Sends the text on the kept connection (host and port are ignored): 0 when it went out; -1 when there is no
    // kept connection or the send failed (the client socket is then closed, the kept connection stays open).
    int32_t SendTcpMessage(const char *host, int32_t port, const char *text);
    // Sends the bytes on the kept connection (host and port are ignored): 0 when every byte went out, else -1.
    int32_t SendBinaryMessage(const char *host, int32_t port, const void *bytes, int32_t count);
    // Starts the text listener on every local address at the port: 0 when it runs, else -1 (also when it already
    // runs).
    int32_t CreateListenerSocket(int32_t port);
    // Starts the raw binary listener (each receive one message, a callback after each): 0 when it runs, else -1.
    int32_t CreateBinaryListenerSocket(int32_t port);
    // Reads raw messages from the binary listener's connection until it ends (false) or the listener is stopped.
    bool OnBinarySocketAccept();

private:
    static void *StartListenThread(void *channel);
    static void *StartBinaryListenThread(void *channel);
    void ListenThread();
    void BinaryListenThread();

    // The connection answers go to; guarded by m_connectionLock.
    int m_kept = -1;
};
