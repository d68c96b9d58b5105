// What the TCP channels share below their classes: reading framed and text messages from a connection into a fixed
// receive buffer, sending every byte, and the listeners' sockets and threads.
#pragma once

#include <sched.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "kve/kve_tcp.h"

namespace kve::tcp {

// A connection's receive buffer: `capacity` bytes and one more for a terminating zero byte. The first `pending`
// bytes are what was received of later messages; they stay for the next read.
struct ReceiveBuffer {
    uint8_t *bytes;
    size_t capacity;
    uint64_t &pending;
};

// The next message of the connection: a text without its line feed, or a whole framed message. "" when the
// connection is over: the peer closed it, a receive failed, an empty text came, a text grew longer than the buffer,
// or a framed message announced a total length below the header or above the buffer (nothing of it is kept); the
// pending bytes are then dropped.
std::string readMessage(int socket, ReceiveBuffer buffer);

// The next text of the connection, up to a line feed, whatever its first bytes. A text cut short by the peer
// closing is delivered as gathered; "" when nothing was, or when the text grew longer than the buffer (its bytes
// and the pending ones dropped).
std::string readText(int socket, ReceiveBuffer buffer);

// One receive, retried when a signal interrupts it.
ssize_t receive(int socket, void *bytes, size_t count);

// Sends all `count` bytes, each send asking for all that remain: 0 when every byte went out, -1 when a send
// returned 0 or less or the count is negative.
int32_t sendAll(int socket, const void *bytes, int32_t count);

// Shuts down and closes the socket when it is open, and stores -1.
void closeSocket(int &socket);

// Opens the listener's socket on every local address at the port and starts its thread on `entry`, asking for the
// round-robin real-time policy at `param`: 0 when it runs; -1, the socket closed, when it cannot. `reuseFailure`,
// when given, is traced when the address cannot be marked reusable.
int32_t startListener(Listener &listener, int32_t port, void *(*entry)(void *), void *channel,
                      const sched_param &param, const char *reuseFailure);

// Waits for the listener's thread, once its socket and connection have been shut down, and closes its socket.
void joinListener(Listener &listener);

// Wakes the listener's thread out of its accept and receive; the caller holds the lock guarding `connection`.
void wakeListener(Listener &listener);

// Names the calling thread (at most 15 characters show).
void nameThread(const char *name);

// Accepts the listener's next connection: the descriptor, or -1 when the listener socket is shut down or failed.
int acceptConnection(Listener &listener, sockaddr_in &peer);

// A listener thread's loop: accepts connections one after another and calls `read(connection, peer)` on each
// until it returns false or the listener is stopped; then closes the connection and accepts the next, until the
// accept fails or the listener is stopped. The connection is entered as the listener's own, and as `*kept` when
// given (the latest accepted connection still open), under `lock`, and closed under it too; `other` is the listener
// sharing `*kept`, whose connection, accepted earlier and still open, is kept once this one closes.
template <class Read>
void serve(Listener &listener, std::mutex &lock, const std::atomic<bool> &kill, int *kept, const Listener *other,
           Read read)
{
    for (;;) {
        sockaddr_in peer{};
        const int connection = acceptConnection(listener, peer);
        if (connection < 0)
            break;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (kill) {
                ::close(connection);
                break;
            }
            listener.connection = connection;
            if (kept != nullptr)
                *kept = connection;
        }
        while (read(connection, peer) && !kill) {
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            listener.connection = -1;
            if (kept != nullptr && *kept == connection)
                *kept = other != nullptr ? other->connection : -1;
            ::shutdown(connection, SHUT_RDWR);
            ::close(connection);
        }
        if (kill)
            break;
    }
}

// Names the calling thread and runs `loop`; an exception ends the listener, and the listener is marked ended.
template <class Loop>
void runListener(Listener &listener, const char *name, Loop loop)
{
    nameThread(name);
    try {
        loop();
    } catch (...) {
    }
    listener.running = false;
}

} // namespace kve::tcp
