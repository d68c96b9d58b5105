// The 32 kbit/s G.721 ADPCM coder on 16-bit linear samples. Its arithmetic is the standard's fixed point, step by
// step, so that codes and decoded samples match every other conforming coder exactly: sums wrap at 16 bits where the
// standard's registers do, and the predictor multiplies in its 11-bit floating format.
#include "G721Tables.h"

#include <kve/kve_recognizer_runtime.h>

namespace {

using namespace kve::g721;

constexpr int32_t kFloatZero = 0x20;
constexpr int32_t kFloatSign = 0x400;
constexpr int32_t kNegativeZero = -0x8000;

// The value of a 16-bit register holding the low 16 bits of x.
int32_t wrap16(int32_t x)
{
    return static_cast<int16_t>(static_cast<uint16_t>(x));
}

// Bits needed for a non-negative value below 2^15 (0 for 0).
int32_t bitLength(int32_t x)
{
    return x == 0 ? 0 : 32 - __builtin_clz(static_cast<uint32_t>(x));
}

// A magnitude below 2^15 in the 11-bit floating format: exponent = its bit length, 6-bit normalised mantissa.
int32_t toFloat(int32_t magnitude, bool negative)
{
    const int32_t exponent = bitLength(magnitude);
    const int32_t mantissa = magnitude == 0 ? kFloatZero : (magnitude << 6) >> exponent;
    return (negative ? kFloatSign : 0) + (exponent << 6) + mantissa;
}

// Coefficient (14 fractional bits) times a floating-format signal value, with one fractional bit.
int32_t floatMultiply(int32_t coefficient, int32_t value)
{
    const int32_t scaled = coefficient >> 2;
    const int32_t magnitude = scaled >= 0 ? scaled : (-scaled) & 0x1FFF;
    const int32_t exponent = bitLength(magnitude);
    const int32_t mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
    const int32_t productExponent = exponent + ((value >> 6) & 0xF) - 19;
    const int32_t productMantissa = (mantissa * (value & 0x3F) + 0x30) >> 4;
    const int32_t product = productExponent >= 0 ? (productMantissa << productExponent) & 0x7FFF
                                                 : productMantissa >> -productExponent;
    return ((scaled < 0) != ((value & kFloatSign) != 0)) ? -product : product;
}

struct Estimate {
    int32_t sez; // zero-section part
    int32_t se;  // whole signal estimate
    int32_t y;   // quantiser scale factor
};

Estimate estimate(const g721State &s)
{
    int32_t zeros = 0;
    for (int i = 0; i < 6; ++i)
        zeros += floatMultiply(s.b[i], s.dq[i]);
    zeros = wrap16(zeros);
    const int32_t all = wrap16(zeros + floatMultiply(s.a[1], s.sr[1]) + floatMultiply(s.a[0], s.sr[0]));
    // The scale factor mixes the fast and the locked factor as the speed control says; past 256 it is all fast.
    int32_t y = s.yu;
    if (s.ap < 256) {
        const int32_t locked = s.yl >> 6;
        const int32_t difference = s.yu - locked;
        const int32_t weight = s.ap >> 2;
        const int32_t magnitude = ((difference < 0 ? -difference : difference) * weight) >> 6;
        y = locked + (difference < 0 ? -magnitude : magnitude);
    }
    return {zeros >> 1, all >> 1, y};
}

// The quantised difference for a code: sign and magnitude, sign bit 15 (a negative zero is -0x8000).
int32_t reconstruct(int32_t code, int32_t y)
{
    const bool negative = (code & 8) != 0;
    const int32_t logMagnitude = kLogMagnitude[code] + (y >> 2);
    if (logMagnitude < 0)
        return negative ? kNegativeZero : 0;
    const int32_t exponent = (logMagnitude >> 7) & 15;
    const int32_t mantissa = 128 + (logMagnitude & 127);
    const int32_t magnitude = (mantissa << 7) >> (14 - exponent);
    return negative ? magnitude + kNegativeZero : magnitude;
}

int32_t quantise(int32_t difference, int32_t y)
{
    const int32_t magnitude = difference < 0 ? (-difference) & 0x7FFF : difference;
    const int32_t exponent = bitLength(magnitude >> 1);
    const int32_t logMagnitude = (exponent << 7) + (((magnitude << 7) >> exponent) & 0x7F);
    const int32_t normalised = logMagnitude - (y >> 2);
    int32_t i = 0;
    while (i < 7 && normalised >= kQuantiserEdges[i])
        ++i;
    // The smallest positive magnitude goes out as 15, the negative zero: code 0 is never sent.
    if (difference < 0)
        return 15 - i;
    return i == 0 ? 15 : i;
}

// One step shared by both directions: reconstruct the signal for a code, adapt, and return the signal.
int32_t step(int32_t code, const Estimate &e, g721State *state)
{
    const int32_t dq = reconstruct(code, e.y);
    const int32_t signedDq = dq < 0 ? -(dq & 0x3FFF) : dq;
    const int32_t sr = wrap16(e.se + signedDq);
    const int32_t dqsez = wrap16(signedDq + e.sez);
    g721Update(code, e.y, dq, sr, dqsez, state);
    return sr;
}

int16_t toLinear(int32_t sr)
{
    const int32_t sample = sr * 4;
    return static_cast<int16_t>(sample > 32767 ? 32767 : sample < -32768 ? -32768 : sample);
}

} // namespace

extern "C" void g721Reset(g721State *state)
{
    *state = g721State{};
    state->yl = 34816;
    state->yu = 544;
    for (int32_t &v : state->dq)
        v = kFloatZero;
    for (int32_t &v : state->sr)
        v = kFloatZero;
}

extern "C" void g721Update(int32_t code, int32_t y, int32_t dq, int32_t sr, int32_t dqsez, g721State *state)
{
    g721State &s = *state;
    const int32_t magnitude = dq & 0x7FFF;
    const int32_t pk0 = dqsez < 0 ? 1 : 0;

    // A large jump while a tone is held is a transition: the predictor starts over.
    const int32_t lockedInt = s.yl >> 15;
    const int32_t lockedFrac = (s.yl >> 10) & 0x1F;
    const int32_t threshold1 = (32 + lockedFrac) << lockedInt;
    const int32_t threshold2 = lockedInt > 9 ? 31 << 10 : threshold1;
    const int32_t jump = (threshold2 + (threshold2 >> 1)) >> 1;
    const bool transition = s.td != 0 && magnitude > jump;

    // Scale factors: the fast one follows the code's multiplier, the locked one follows the fast one slowly.
    s.yu = y + ((kScaleMultiplier[code] * 32 - y) >> 5);
    s.yu = s.yu < 544 ? 544 : s.yu > 5120 ? 5120 : s.yu;
    s.yl += s.yu + ((-s.yl) >> 6);

    int32_t a2 = 0;
    if (transition) {
        s.a[0] = s.a[1] = 0;
        for (int32_t &b : s.b)
            b = 0;
    } else {
        const int32_t pks1 = pk0 ^ s.pk[0];
        a2 = s.a[1] - (s.a[1] >> 7);
        if (dqsez != 0) {
            const int32_t fa1 = pks1 ? s.a[0] : -s.a[0];
            a2 += fa1 < -8191 ? -0x100 : fa1 > 8191 ? 0xFF : fa1 >> 5;
            a2 += (pk0 ^ s.pk[1]) ? -0x80 : 0x80;
            a2 = a2 < -12288 ? -12288 : a2 > 12288 ? 12288 : a2;
        }
        s.a[1] = a2;

        s.a[0] -= s.a[0] >> 8;
        if (dqsez != 0)
            s.a[0] += pks1 ? -192 : 192;
        const int32_t a1Limit = 15360 - a2;
        s.a[0] = s.a[0] < -a1Limit ? -a1Limit : s.a[0] > a1Limit ? a1Limit : s.a[0];

        const bool dqNegative = dq < 0;
        // The zero-section coefficients are 16-bit registers: a coefficient pushed past +2 wraps to -2.
        for (int i = 0; i < 6; ++i) {
            int32_t b = s.b[i] - (s.b[i] >> 8);
            if (magnitude != 0)
                b += (dqNegative == ((s.dq[i] & kFloatSign) != 0)) ? 128 : -128;
            s.b[i] = wrap16(b);
        }
    }

    for (int i = 5; i > 0; --i)
        s.dq[i] = s.dq[i - 1];
    s.dq[0] = toFloat(magnitude, dq < 0);
    s.sr[1] = s.sr[0];
    s.sr[0] = sr >= 0 ? toFloat(sr, false) : toFloat((-sr) & 0x7FFF, true);
    s.pk[1] = s.pk[0];
    s.pk[0] = pk0;

    // A strongly negative second pole coefficient marks a tone.
    s.td = !transition && a2 < -11776 ? 1 : 0;

    const int32_t fi = kChangeWeight[code];
    s.dms += (fi - s.dms) >> 5;
    s.dml += ((fi << 2) - s.dml) >> 7;
    const int32_t spread = (s.dms << 2) - s.dml;
    if (transition)
        s.ap = 256;
    else if (y < 1536 || s.td != 0 || (spread < 0 ? -spread : spread) >= (s.dml >> 3))
        s.ap += (0x200 - s.ap) >> 4;
    else
        s.ap += (-s.ap) >> 4;
}

extern "C" int16_t g721DecodeSample(int32_t code, g721State *state)
{
    return toLinear(step(code & 0x0F, estimate(*state), state));
}

extern "C" uint8_t *g721Encode(const int16_t *samples, uint32_t count, uint32_t *byteCount)
{
    *byteCount = 0;
    if (count == 0)
        return nullptr;
    const uint32_t bytes = static_cast<uint32_t>((uint64_t{count} + 1) / 2);
    auto *codes = static_cast<uint8_t *>(dbMalloc(bytes));
    if (codes == nullptr)
        return nullptr;
    g721State state;
    g721Reset(&state);
    for (uint32_t i = 0; i < count; ++i) {
        const Estimate e = estimate(state);
        const int32_t code = quantise(wrap16((samples[i] >> 2) - e.se), e.y);
        step(code, e, &state);
        if (i & 1)
            codes[i >> 1] = static_cast<uint8_t>(codes[i >> 1] | (code << 4));
        else
            codes[i >> 1] = static_cast<uint8_t>(code);
    }
    *byteCount = bytes;
    return codes;
}

extern "C" int16_t *g721Decode(const uint8_t *bytes, uint32_t byteCount, uint32_t *sampleCount)
{
    *sampleCount = 0;
    if (byteCount == 0 || byteCount > UINT32_MAX / 2)
        return nullptr;
    auto *samples = static_cast<int16_t *>(dbMalloc(size_t{byteCount} * 2 * sizeof(int16_t)));
    if (samples == nullptr)
        return nullptr;
    g721State state;
    g721Reset(&state);
    for (uint32_t i = 0; i < byteCount; ++i) {
        samples[2 * i] = g721DecodeSample(bytes[i] & 0x0F, &state);
        samples[2 * i + 1] = g721DecodeSample(bytes[i] >> 4, &state);
    }
    *sampleCount = byteCount * 2;
    return samples;
}
