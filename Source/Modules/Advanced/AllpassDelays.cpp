// The allpass delays' shared code: line sizes, whole-sample positions, the Fract32 gain split and the modulated loop.
#include <cmath>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/Advanced/AllpassDelayKit.h"

namespace kve::allpass {

using namespace kve::kit;
using kve::delays::OwnArray;
using kve::shapes::channels;

namespace {

constexpr uint32_t kWordHeaps = 2;
constexpr uint32_t kHalfwordHeaps = 3;

uint64_t samplesOf(ClassModule *m, int32_t maxDelay)
{
    return uint64_t{channels(wire(m, 0))} * (static_cast<uint64_t>(std::max(maxDelay, 0)) + 1);
}

// Bytes-to-words of a 16-bit line: an odd count of samples takes the whole last word.
uint64_t halfwordWords(uint64_t samples) { return (samples + 1) / 2; }

int64_t wrapped(int64_t p, int64_t length)
{
    const int64_t r = p % length;
    return r < 0 ? r + length : r;
}

} // namespace

OwnArray wordLine(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayModule *>(m);
    return {&s->line, samplesOf(m, s->maxDelay), kWordHeaps};
}

OwnArray fract32WordLine(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayFract32Module *>(m);
    return {&s->line, samplesOf(m, s->maxDelay), kWordHeaps};
}

OwnArray halfwordLine(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayModule *>(m);
    return {&s->line, halfwordWords(samplesOf(m, s->maxDelay)), kHalfwordHeaps};
}

OwnArray fract32HalfwordLine(ClassModule *m)
{
    auto *s = reinterpret_cast<AllpassDelayFract32Module *>(m);
    return {&s->line, halfwordWords(samplesOf(m, s->maxDelay)), kHalfwordHeaps};
}

OwnArray modulatedLine(ClassModule *m)
{
    auto *s = reinterpret_cast<ModulatedAllpassModule *>(m);
    // The line carries the audio of wire 1.
    const uint64_t samples = uint64_t{channels(wire(m, 1))} * (static_cast<uint64_t>(std::max(s->maxDelay, 0)) + 1);
    return {&s->line, samples, kWordHeaps};
}

Ring ringOf(uint32_t slots, uint32_t ch, int32_t maxDelay, int32_t delay, int32_t writeIndex)
{
    if (ch == 0 || slots / ch == 0)
        return {0, 0, 0};
    // The line a host's later write of the maximum cannot lengthen past what was built.
    const int64_t frames = std::min<int64_t>(int64_t{std::max(maxDelay, 0)} + 1, slots / ch);
    const int64_t length = frames * ch;
    const int64_t d = std::clamp<int64_t>(delay, 0, frames - 1);
    const int64_t w = wrapped(writeIndex, length);
    return {static_cast<int32_t>(length), static_cast<int32_t>(w), static_cast<int32_t>(wrapped(w - d * ch, length))};
}

int32_t fract32GainSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<AllpassDelayFract32Module *>(m);
    // Only a change of the gain (variable 2) splits it again; teardown (mask 0) leaves the split as it is.
    if ((mask & (1u << (8 + 2))) == 0)
        return KVE_OK;
    int exponent = 0;
    const float mantissa = std::isfinite(s->gain) ? std::frexp(s->gain, &exponent) : 0.0f;
    s->mantissa = kve_advFloatToFract32(mantissa);
    s->exponent = mantissa == 0.0f ? 0 : exponent;
    return KVE_OK;
}

void processModulated(ClassModule *m, bool cubic, Tap tap)
{
    auto *s = reinterpret_cast<ModulatedAllpassModule *>(m);
    const GenericWire *mod = wire(m, 0);
    const GenericWire *in = wire(m, 1);
    const GenericWire *out = wire(m, 2);
    const uint32_t ch = channels(in);
    const uint32_t outCh = channels(out);
    const Ring ring = ringOf(capacity(m, 0), ch, s->maxDelay, 0, s->writeIndex);
    if (ring.length == 0)
        return;
    const int64_t length = ring.length;
    const float top = static_cast<float>(length / ch - 1);
    const uint32_t frames = std::min(blockSize(in), blockSize(out));
    const uint32_t modWords = wireWords(mod);
    const auto *control = static_cast<const float *>(mod->buffer);
    const auto *x = static_cast<const float *>(in->buffer);
    auto *y = static_cast<float *>(out->buffer);
    float *line = s->line;
    const float g = s->gain;
    int64_t w = ring.write;
    for (uint32_t t = 0; t < frames; ++t) {
        // A modulation wire shorter than the block holds its last value.
        const float v = modWords == 0 ? 0.0f : control[std::min(t, modWords - 1)];
        float d = v * s->depth + s->baseDelay;
        d = d > 0.0f ? std::min(d, top) : 0.0f; // NaN as 0
        const auto n = static_cast<int64_t>(d);
        const float f = d - static_cast<float>(n);
        const int64_t back = cubic ? (d == 0.0f ? 0 : n - 2) : n;
        const int64_t p0 = w - back * ch;
        for (uint32_t c = 0; c < ch; ++c) {
            const float xin = x[t * ch + c];
            const float out = tap(line, length, wrapped(p0 + c, length), ch, f) - g * xin;
            if (c < outCh)
                y[t * outCh + c] = out;
            line[w] = xin + g * out;
            w = w + 1 == length ? 0 : w + 1;
        }
    }
    s->writeIndex = static_cast<int32_t>(w);
}

float lineAt(const float *line, int64_t length, int64_t p) { return line[wrapped(p, length)]; }

} // namespace kve::allpass
