// G.711 mu-law: a sign bit, a 3-bit segment and a 4-bit step within the segment, all sent inverted. Each segment
// doubles the step of the one below; the bias of 132 makes the segment edges fall on powers of two.
#include <kve/kve_recognizer_runtime.h>

namespace {

constexpr int32_t kBias = 132;
constexpr int32_t kClip = 32635;
// The value at the start of each segment: (132 << segment) - 132.
constexpr int32_t kSegmentBase[8] = {0, 132, 396, 924, 1980, 4092, 8316, 16764};

constexpr uint8_t compress(int16_t sample)
{
    int32_t magnitude = sample < 0 ? -sample : sample;
    const uint32_t sign = sample < 0 ? 0x80u : 0u;
    if (magnitude > kClip)
        magnitude = kClip;
    magnitude += kBias;
    // The biased magnitude lies in 132..32767: its top bit, 7..14, gives the segment.
    const uint32_t segment = static_cast<uint32_t>(31 - __builtin_clz(static_cast<uint32_t>(magnitude)) - 7);
    const uint32_t step = (static_cast<uint32_t>(magnitude) >> (segment + 3)) & 0x0Fu;
    const uint8_t code = static_cast<uint8_t>(~(sign | (segment << 4) | step));
    return code == 0 ? 0x02 : code;
}

// Every input's code, worked out while compiling: recordings are encoded one sample per call, and a lookup is
// several times cheaper than the segment search.
constexpr struct CodeTable {
    uint8_t code[65536];
    constexpr CodeTable() : code{}
    {
        for (int32_t x = -32768; x <= 32767; ++x)
            code[static_cast<uint16_t>(x)] = compress(static_cast<int16_t>(x));
    }
} kCodes;

} // namespace

extern "C" int16_t ulawDecode(uint8_t code)
{
    const uint32_t bits = ~code & 0xFFu;
    const uint32_t segment = (bits >> 4) & 7u;
    const int32_t magnitude = kSegmentBase[segment] + static_cast<int32_t>((bits & 0x0Fu) << (segment + 3));
    return static_cast<int16_t>((bits & 0x80u) ? -magnitude : magnitude);
}

extern "C" uint8_t ulawEncode(int16_t sample)
{
    return kCodes.code[static_cast<uint16_t>(sample)];
}
