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

uint32_t loadLittleEndian32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
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
    for (; length >= 8; length -= 8, p += 8) {
        const uint32_t low = reg ^ loadLittleEndian32(p);
        const uint32_t high = loadLittleEndian32(p + 4);
        reg = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
              kTables[4][low >> 24] ^ kTables[3][high & 0xFFu] ^ kTables[2][(high >> 8) & 0xFFu] ^
              kTables[1][(high >> 16) & 0xFFu] ^ kTables[0][high >> 24];
    }
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
