// CRC-32, atomic counters and critical sections for the host.
#include "kve/kve_sync.h"

#include <array>

namespace {

constexpr uint32_t kReflectedPolynomial = 0xEDB88320u;

// Row 0 is the byte table: entry n is the register after shifting byte n through eight steps. Row k carries a byte
// k further positions, so eight bytes are folded per step with eight independent look-ups instead of a chain of
// eight dependent ones.
constexpr std::array<std::array<uint32_t, 256>, 8> makeTables()
{
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int step = 0; step < 8; ++step)
            c = (c & 1u) ? kReflectedPolynomial ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t n = 0; n < 256; ++n)
            t[k][n] = t[0][t[k - 1][n] & 0xFFu] ^ (t[k - 1][n] >> 8);
    return t;
}

constexpr auto kTables = makeTables();
constexpr const std::array<uint32_t, 256> &crc32_table = kTables[0];

static_assert(crc32_table[1] == 0x77073096u && crc32_table[255] == 0x2D02EF8Du);

// A long buffer is read in blocks of kLanes lanes of kLaneBytes each. Each lane's eight-byte steps depend only on its
// own previous step, so the lanes' look-ups overlap instead of one chain waiting on each load in turn; lane 0 starts
// from the running register, the others from 0, and the register is linear in its start, so the block's register
// is lane 0 carried past the other lanes' bytes as if they were zeros, xored with theirs.
constexpr unsigned kLanes = 4;
constexpr unsigned kLaneBytes = 256;
constexpr unsigned kBlockBytes = kLanes * kLaneBytes;

// Entry n of row k is the register n << 8k carried through kLaneBytes zero bytes: one register bit at a time, then
// every byte value by linearity.
constexpr std::array<std::array<uint32_t, 256>, 4> makeLaneSkipTables()
{
    std::array<uint32_t, 32> bit{};
    for (int b = 0; b < 32; ++b) {
        uint32_t reg = 1u << b;
        for (unsigned i = 0; i < kLaneBytes; ++i)
            reg = crc32_table[reg & 0xFFu] ^ (reg >> 8);
        bit[b] = reg;
    }
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (int k = 0; k < 4; ++k)
        for (uint32_t n = 0; n < 256; ++n)
            for (int b = 0; b < 8; ++b)
                if ((n >> b) & 1u)
                    t[k][n] ^= bit[8 * k + b];
    return t;
}

constexpr auto kLaneSkip = makeLaneSkipTables();

uint32_t loadLittleEndian32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The register after the eight bytes at p: eight independent look-ups instead of a chain of eight dependent ones.
uint32_t stepEightBytes(uint32_t reg, const unsigned char *p)
{
    const uint32_t low = reg ^ loadLittleEndian32(p);
    const uint32_t high = loadLittleEndian32(p + 4);
    return kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
           kTables[4][low >> 24] ^ kTables[3][high & 0xFFu] ^ kTables[2][(high >> 8) & 0xFFu] ^
           kTables[1][(high >> 16) & 0xFFu] ^ kTables[0][high >> 24];
}

// The register carried through one lane of zero bytes.
uint32_t skipLane(uint32_t reg)
{
    return kLaneSkip[0][reg & 0xFFu] ^ kLaneSkip[1][(reg >> 8) & 0xFFu] ^ kLaneSkip[2][(reg >> 16) & 0xFFu] ^
           kLaneSkip[3][reg >> 24];
}

} // namespace

extern "C" {

unsigned long crc32(unsigned long crc, const unsigned char *buffer, unsigned int length)
{
    if (length == 0)
        return crc;
    if (buffer == nullptr)
        return 0;
    uint32_t reg = static_cast<uint32_t>(crc) ^ 0xFFFFFFFFu;
    const unsigned char *p = buffer;
    for (; length >= kBlockBytes; length -= kBlockBytes, p += kBlockBytes) {
        uint32_t lane[kLanes] = {reg};
        for (unsigned i = 0; i < kLaneBytes; i += 8)
            for (unsigned k = 0; k < kLanes; ++k)
                lane[k] = stepEightBytes(lane[k], p + k * kLaneBytes + i);
        reg = lane[0];
        for (unsigned k = 1; k < kLanes; ++k)
            reg = skipLane(reg) ^ lane[k];
    }
    for (; length >= 8; length -= 8, p += 8)
        reg = stepEightBytes(reg, p);
    for (; length > 0; --length, ++p)
        reg = crc32_table[(reg ^ *p) & 0xFFu] ^ (reg >> 8);
    return reg ^ 0xFFFFFFFFu;
}

int64_t InterlockedIncrement(volatile int64_t *counter)
{
    return counter == nullptr ? 0 : __atomic_add_fetch(counter, 1, __ATOMIC_ACQ_REL);
}

int64_t InterlockedDecrement(volatile int64_t *counter)
{
    return counter == nullptr ? 0 : __atomic_sub_fetch(counter, 1, __ATOMIC_ACQ_REL);
}

void InitializeCriticalSection(CRITICAL_SECTION *section)
{
    if (section != nullptr)
        pthread_mutex_init(&section->mutex, nullptr);
}

void EnterCriticalSection(CRITICAL_SECTION *section)
{
    if (section != nullptr)
        pthread_mutex_lock(&section->mutex);
}

void LeaveCriticalSection(CRITICAL_SECTION *section)
{
    if (section != nullptr)
        pthread_mutex_unlock(&section->mutex);
}

void DeleteCriticalSection(CRITICAL_SECTION *section)
{
    if (section != nullptr)
        pthread_mutex_destroy(&section->mutex);
}
}
