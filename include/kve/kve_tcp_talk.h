// The request-response channel of the host utilities: one TCP connection to a server, kept open across requests,
// carrying a text or binary request and waiting for its reply with a time-out.
//
// Messages on the wire are text lines ended by a line feed, or framed binary messages: the word 0x07FF0003, then
// the total length in bytes (header included), then the body, both words little-endian. The caller builds the frame
// of a binary request; the channel reads replies of either kind, or raw replies (whatever one receive brings).
#pragma once

#include <netdb.h>
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

class CTcpIOTalk {
public:
    // Result codes of the request and receive calls, besides 1 (a reply was received) and -1 (the host could not be
    // resolved, the connection could not be made or the text could not be sent).
    static constexpr int32_t kPeerClosed = -9995;   // the peer closed the connection before the reply was complete
    static constexpr int32_t kReceiveFailed = -9996; // a receive failed, or there is no connection to receive on
    static constexpr int32_t kSendFailed = -9997;    // the binary request could not be sent; the connection stays open
    static constexpr int32_t kBadLength = -9998;     // a framed or reassembled reply cannot fit the receive buffer
    static constexpr int32_t kTimedOut = -9999;      // no reply came within the time-out
    // Replies are held in a buffer of this many bytes (plus a terminating zero byte) inside the channel.
    static constexpr uint32_t kBufferBytes = 1048576;

    CTcpIOTalk();
    ~CTcpIOTalk();
    CTcpIOTalk(const CTcpIOTalk &) = delete;
    CTcpIOTalk &operator=(const CTcpIOTalk &) = delete;

    // Sends the text (a line feed is added unless it ends in one) on the kept connection, connecting first when none is
    // open or when the host text or port differs from the kept connection's (which is closed then), and waits for a
    // text or framed reply. A time-out counts units of 10 ms taken in whole ticks of 100 ms, at least one, for each
    // receive: 50 waits half a second, 0 to 19 one tick, a negative one without limit. A failure closes the connection;
    // the next request connects again.
    int32_t SendTcpMessage(const char *host, int32_t port, const char *text, std::string &reply, char *&data,
                           uint32_t &length, int32_t timeout);
    // Sends the bytes as they stand, on a connection chosen as for a text (bytes that cannot go out change no
    // connection), and waits for a framed, text or (raw) one-receive reply. A negative port (its low 16 bits still
    // select the port) gathers further segments until the reply holds at least the number of 32-bit words given by the
    // 16-bit value at its byte offset 2.
    int32_t SendBinaryMessage(const char *host, int32_t port, const void *bytes, int32_t count, std::string &reply,
                              char *&data, uint32_t &length, int32_t timeout, bool raw);
    // Waits for one reply on the open connection. On 1, `data` points at the receive buffer holding the reply and a
    // zero byte; a framed reply sets `length` to its total length and `reply` to the whole message, a text reply
    // sets `reply` to the text before the line feed and `length` to 0, a raw reply sets `length` to the received
    // count and leaves `reply` empty. The buffer stays valid until the next call on the channel.
    int32_t GetBinaryMessage(std::string &reply, char *&data, uint32_t &length, int32_t timeout, bool raw);

    // The dotted IPv4 address at `index` among this machine's interfaces other than 127.0.0.1, the first one when
    // the index is out of range, "" when there is none.
    static std::string GetIPAddress(int32_t index);
    // The host entry of a name (null for a null or empty text, one starting with a digit, or a failed lookup). The
    // record belongs to the calling thread and is overwritten by its next lookup.
    static hostent *TranslateAddress(const char *host);
    // Selects the destination: when the port or the host text differs from the current one, closes the connection
    // and resolves the host again.
    void SetHostEnt(const char *host, int32_t port);
    // Opens the socket (with TCP_NODELAY) unless one is open.
    void MakeSocket();
    // Connects the open socket, unless connected, to the IPv4 address (network order), or to the resolved
    // destination for 0. 0 when connected, else -1 with the socket closed. The time-out has no effect.
    int32_t ConnectSocket(in_addr_t address, int32_t timeout);
    // Closes the socket and forgets the destination.
    void KillSocket();
    // Sends the text with a line feed added unless it ends in one, in chunks of at most 1024 bytes; an empty text
    // sends nothing. 0 when every byte went out, else the failing send's result.
    static int32_t SendString(int socket, const char *text);

private:
    // Gathers segments after the first reply until the reply holds the length it announces.
    int32_t Reassemble(std::string &reply, char *&data, uint32_t &length, int32_t timeout, bool raw);
    // Connects to the destination when no socket is open; -1 when it cannot.
    int32_t Open(const char *host, int32_t port);
    // Reads one reply into the buffer; the result code.
    int32_t ReadReply(std::string &reply, uint32_t &length, int32_t timeout, bool raw);
    // Waits within the time-out for bytes and receives at most `capacity` of them at buffer offset `offset`.
    int32_t ReceiveInto(uint32_t offset, uint32_t capacity, int32_t timeout, int32_t &received);

    int m_socket = -1;
    uint16_t m_port = 0;
    std::string m_host;
    bool m_hasAddress = false;
    in_addr m_address{};
    bool m_connected = false;
    std::vector<char> m_buffer;
    std::vector<char> m_gathered;
};
