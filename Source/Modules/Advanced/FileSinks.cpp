// Shared code of the file sinks: checking a layout-written value format, finding a table provider, writing a
// capture as a WAVE file.
#include "Modules/Advanced/FileSinks.h"

#include <array>
#include <cstring>

#include "Engine/EngineInternal.h"

namespace kve::filesinks {

namespace {

bool isFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

const char *valueFormatFor(const char *text, size_t bytes, bool isFloat)
{
    const char *fallback = isFloat ? "%g " : "%d ";
    const size_t n = strnlen(text, bytes);
    if (n == bytes) // no terminator inside the buffer: printf would read past it
        return fallback;
    const char *accepted = isFloat ? "fFeEgGaA" : "diuxXo";
    int conversions = 0;
    for (size_t k = 0; k < n; ++k) {
        if (text[k] != '%')
            continue;
        ++k;
        if (k < n && text[k] == '%')
            continue;
        while (k < n && isFlag(text[k]))
            ++k;
        while (k < n && isDigit(text[k]))
            ++k;
        if (k < n && text[k] == '.') {
            ++k;
            while (k < n && isDigit(text[k]))
                ++k;
        }
        if (k == n || std::strchr(accepted, text[k]) == nullptr)
            return fallback;
        ++conversions;
    }
    return conversions == 1 ? text : fallback;
}

TableProvider *findTableProvider(int32_t id)
{
    KVEObject *object = nullptr;
    uint32_t classId = 0;
    if (id <= 0 || kve_fwGetObjectByID2(static_cast<uint32_t>(id), &object, &classId) < 0 || object == nullptr)
        return nullptr;
    if (!isModule(object) || object->classRecord->reserved != kTableProviderTag)
        return nullptr;
    return reinterpret_cast<TableProvider *>(object);
}

namespace {

void put16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t *p, uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

} // namespace

int32_t writeCapture(const char *name, const int32_t *frames, uint32_t frameCount, uint32_t channels,
                     uint32_t sampleRate)
{
    const uint64_t dataBytes = uint64_t{frameCount} * 4 * channels;
    if (dataBytes > UINT32_MAX - 36)
        return KVE_E_FILE_OPEN;
    std::array<uint8_t, 44> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, static_cast<uint32_t>(36 + dataBytes));
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);
    put16(h.data() + 20, 1);
    put16(h.data() + 22, channels);
    put32(h.data() + 24, sampleRate);
    put32(h.data() + 28, channels * 4 * sampleRate);
    put16(h.data() + 32, channels * 4);
    put16(h.data() + 34, 32);
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, static_cast<uint32_t>(dataBytes));

    // "x": an existing file is never replaced.
    std::FILE *f = std::fopen(name, "wbx");
    if (f == nullptr)
        return KVE_E_FILE_OPEN;
    bool written = std::fwrite(h.data(), 1, h.size(), f) == h.size();
    // Samples are stored little-endian, as the target and this build machine hold them.
    written = written && std::fwrite(frames, 1, static_cast<size_t>(dataBytes), f) == dataBytes;
    written = std::fclose(f) == 0 && written;
    if (!written) {
        std::remove(name); // a truncated capture would pass for a whole one
        return KVE_E_FILE_OPEN;
    }
    return KVE_OK;
}

} // namespace kve::filesinks
