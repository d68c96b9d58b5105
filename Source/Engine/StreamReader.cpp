#include "Engine/StreamReader.h"

#include <algorithm>
#include <cstring>

#include "kve/kve_packet.h"

namespace kve {

void StreamReader::reset()
{
    std::memset(block_, 0, sizeof block_);
    valid_ = 0;
    index_ = 0;
    headerDone_ = false;
}

int32_t StreamReader::readHeader()
{
    headerDone_ = true;
    if (cipher_ == nullptr)
        return 0;
    uint32_t magic = 0;
    uint32_t header[KVE_CIPHER_BLOCK_WORDS] = {};
    if (fetch(&magic, 1) != 1 || magic != KVE_CIPHER_MAGIC || fetch(header, KVE_CIPHER_BLOCK_WORDS) != KVE_CIPHER_BLOCK_WORDS)
        return KVE_E_CIPHER_HEADER;
    cipher_->crypt(header, -static_cast<int32_t>(KVE_CIPHER_BLOCK_WORDS));
    if (header[0] != kHeaderCheck)
        return KVE_E_CIPHER_HEADER;
    cipher_->applyMask(header[2], header[3]);
    return 0;
}

int64_t StreamReader::read(uint32_t *dst, uint32_t count)
{
    uint32_t delivered = 0;
    for (;;) {
        const uint32_t take = std::min(valid_ - index_, count - delivered);
        std::memcpy(dst + delivered, block_ + index_, static_cast<size_t>(take) * 4u);
        index_ += take;
        delivered += take;
        if (delivered == count)
            return delivered;
        if (!headerDone_) {
            if (const int32_t status = readHeader(); status != 0)
                return status;
        }
        const uint32_t got = fetch(block_, KVE_CIPHER_BLOCK_WORDS);
        index_ = 0;
        valid_ = got;
        if (got == 0)
            return delivered;
        if (cipher_ != nullptr) {
            // Enciphered bodies come in whole blocks; a cut block cannot be deciphered.
            if (got != KVE_CIPHER_BLOCK_WORDS) {
                valid_ = 0;
                return KVE_E_CIPHER_HEADER;
            }
            cipher_->crypt(block_, -static_cast<int32_t>(KVE_CIPHER_BLOCK_WORDS));
        }
    }
}

int32_t StreamReader::readPacket(uint32_t *packet, uint32_t capacity, uint32_t *length)
{
    int64_t got = read(packet, 1);
    if (got < 0)
        return static_cast<int32_t>(got);
    if (got == 0 || packet[0] == 0)
        return kStreamEnd;
    const uint32_t n = (packet[0] >> 16) & 0x3FFu;
    if (n < 2 || n > capacity)
        return KVE_E_PACKET_LENGTH;
    if (n > 2) {
        got = read(packet + 1, n - 2);
        if (got < 0)
            return static_cast<int32_t>(got);
        if (got < n - 2)
            return kStreamEnd;
    }
    uint32_t check = 0;
    for (uint32_t i = 0; i < n - 1; ++i)
        check ^= packet[i];
    packet[n - 1] = check;
    *length = n;
    return 0;
}

uint32_t FileStreamReader::fetch(uint32_t *words, uint32_t count)
{
    return file_ != nullptr ? static_cast<uint32_t>(std::fread(words, 4, count, file_)) : 0;
}

uint32_t ArrayStreamReader::fetch(uint32_t *words, uint32_t count)
{
    const uint32_t take = std::min(count, words_ - position_);
    if (take > 0)
        std::memcpy(words, array_ + position_, static_cast<size_t>(take) * 4u);
    position_ += take;
    return take;
}

LayoutCipher &processCipher()
{
    static LayoutCipher cipher(g_key);
    return cipher;
}

int32_t replyFailure(uint32_t opcode, const uint32_t *reply)
{
    const uint32_t length = reply[0] >> 16;
    if (length > 2 && static_cast<int32_t>(reply[1]) < 0)
        return static_cast<int32_t>(reply[1]);
    if ((opcode == 6 || opcode == 16) && length > 3 && static_cast<int32_t>(reply[2]) < 0)
        return static_cast<int32_t>(reply[2]);
    return 0;
}

PacketBufferScope::PacketBufferScope(uint32_t *buffer, uint32_t capacity)
{
    kve_fwGetPacketInfo(&savedBuffer_, &savedCapacity_);
    kve_fwPacketInit(buffer, capacity);
}

PacketBufferScope::~PacketBufferScope() { kve_fwPacketInit(savedBuffer_, savedCapacity_); }

} // namespace kve
