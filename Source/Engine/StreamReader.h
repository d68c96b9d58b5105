// Reading stored packet streams, plain or enciphered, from a file or a memory array. Each load owns its reader,
// so a load started inside another (an embedded array) leaves the outer one where it was.
#pragma once

#include <cstdint>
#include <cstdio>

#include "Engine/LayoutCipher.h"

namespace kve {

// Outcomes of reading one stored packet besides a packet: the stream ended, or a reader error (negative).
inline constexpr int32_t kStreamEnd = 1;

class StreamReader {
public:
    // A plain reader, or an enciphered one using (and advancing) the given cipher.
    explicit StreamReader(LayoutCipher *cipher) : cipher_(cipher) {}
    virtual ~StreamReader() = default;
    StreamReader(const StreamReader &) = delete;
    StreamReader &operator=(const StreamReader &) = delete;

    void setCipher(LayoutCipher *cipher) { cipher_ = cipher; }

    // Forgets buffered words and the header: the next read starts the stream from its source's position.
    void reset();

    // Reads one stored packet into `packet` (capacity words) and appends its check word. Returns 0 with the
    // packet's length in *length, kStreamEnd at the end of the stream, -95 for a bad enciphered header or block,
    // or -75 for a length field that is no packet (0 or 1) or does not fit the buffer.
    int32_t readPacket(uint32_t *packet, uint32_t capacity, uint32_t *length);

protected:
    // Up to `count` raw words from the source; returns the number obtained.
    virtual uint32_t fetch(uint32_t *words, uint32_t count) = 0;

private:
    // Reads up to `count` words of the plain stream; returns the number delivered or a negative reader error.
    int64_t read(uint32_t *dst, uint32_t count);
    int32_t readHeader();

    LayoutCipher *cipher_;
    uint32_t block_[64] = {};
    uint32_t valid_ = 0;
    uint32_t index_ = 0;
    bool headerDone_ = false;
};

class FileStreamReader : public StreamReader {
public:
    FileStreamReader(FILE *file, LayoutCipher *cipher) : StreamReader(cipher), file_(file) {}
    void setFile(FILE *file) { file_ = file; }

protected:
    uint32_t fetch(uint32_t *words, uint32_t count) override;

private:
    FILE *file_;
};

class ArrayStreamReader : public StreamReader {
public:
    ArrayStreamReader(const uint32_t *array, uint32_t words, LayoutCipher *cipher)
        : StreamReader(cipher), array_(array), words_(words)
    {
    }

protected:
    uint32_t fetch(uint32_t *words, uint32_t count) override;

private:
    const uint32_t *array_;
    uint32_t words_;
    uint32_t position_ = 0;
};

// The process-wide cipher of the exported stream calls.
LayoutCipher &processCipher();

// The reply test of the loaders: the status that stops a load after a packet ran, or 0 to go on. Wire and layout
// creation report their status in word 2, behind the new object's id.
int32_t replyFailure(uint32_t opcode, const uint32_t *reply);

// Reads stored packets into `buffer` and hands each to `run` (which answers it in place and returns 0 or a
// rejection) until the stream ends or `limit` stored words are consumed; stops at the first failure of reading,
// running or the reply, and returns it with the failing packet's stored-word offset in *failedAt. Returns 0 when
// the stream ran to its end.
template <typename Run>
int32_t runPackets(StreamReader &reader, uint32_t *buffer, uint32_t capacity, uint64_t limit, Run run,
                   uint32_t *failedAt)
{
    for (uint32_t offset = 0; offset < limit;) {
        uint32_t n = 0;
        int32_t failure = reader.readPacket(buffer, capacity, &n);
        if (failure == kStreamEnd)
            return 0;
        if (failure == 0) {
            const uint32_t opcode = buffer[0] & 0xFFu;
            failure = run();
            if (failure == 0)
                failure = replyFailure(opcode, buffer);
        }
        if (failure != 0) {
            *failedAt = offset;
            return failure;
        }
        offset += n - 1;
    }
    return 0;
}

// Keeps the packet-buffer registration of the caller across a load that registers its own buffer.
class PacketBufferScope {
public:
    PacketBufferScope(uint32_t *buffer, uint32_t capacity);
    ~PacketBufferScope();
    PacketBufferScope(const PacketBufferScope &) = delete;
    PacketBufferScope &operator=(const PacketBufferScope &) = delete;

private:
    uint32_t *savedBuffer_;
    uint32_t savedCapacity_;
};

} // namespace kve
