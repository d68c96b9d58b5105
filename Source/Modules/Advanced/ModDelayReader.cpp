// DelayReader: reads the line of a DelayStateWriter found by the object id on its input, a fractional delay behind
// the newest block the writer put in it (mode 0 linear, mode 1 cubic; any other mode leaves the output as it was).
// A writer placed earlier in the layout has already written the current block. The delay is held to what the line
// keeps beyond one block; an id that names no writer, or a block longer than the line, gives silence.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Modules/Advanced/DelayLines.h"
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;
using kve::fir::LineKind;

struct ReaderModule {
    ClassModule header;
    int32_t unused;
    float delay;
    int32_t mode;
    uint32_t writerId;
    ClassModule *writer;
};

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(ReaderModule, unused, Int),   KVE_VARIABLE(ReaderModule, delay, Float),
    KVE_VARIABLE(ReaderModule, mode, Int),     KVE_VARIABLE(ReaderModule, writerId, UInt),
    KVE_VARIABLE(ReaderModule, writer, Pointer),
};

// The writer's line as it stands, or an empty one when there is no writer or the output's block does not fit in it.
kve::fir::SourceLine followedLine(ClassModule *m)
{
    auto *s = reinterpret_cast<ReaderModule *>(m);
    const GenericWire *out = wire(m, inputs(m));
    s->writer = kve::fir::followedSource(wire(m, 0), &s->writerId, s->writer, LineKind::Word32);
    kve::fir::SourceLine line = kve::fir::lineOf(s->writer, LineKind::Word32);
    if (line.buffer == nullptr || wireWords(out) > static_cast<uint32_t>(line.length) ||
        (isComplex(out) && line.length % 2 != 0)) {
        std::memset(out->buffer, 0, uint64_t{wireWords(out)} * 4);
        line.buffer = nullptr;
    }
    return line;
}

int64_t wrapBack(int64_t p, int64_t len) { return p < 0 ? p + len : p; }

void readerProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ReaderModule *>(m);
    const kve::fir::SourceLine line = followedLine(m);
    if (line.buffer == nullptr || (s->mode != 0 && s->mode != 1))
        return;
    const GenericWire *out = wire(m, inputs(m));
    const int64_t len = line.length;
    const int64_t words = wireWords(out);
    const int64_t step = isComplex(out) ? 2 : 1;
    const int64_t frame = int64_t{channels(out)} * step;
    if (frame == 0)
        return;
    // Every tap of every output word stays inside the line's samples from before this block.
    const auto longest = static_cast<float>((len - words) / frame);
    const float d = s->delay > 0.0f ? std::min(s->delay, longest) : 0.0f;
    const auto n = static_cast<int64_t>(d);
    const float f = d - std::floor(d);
    float weight[4] = {1.0f - f, f, 0.0f, 0.0f};
    if (s->mode == 1)
        cubicWeights(f, weight);
    int64_t at[4];
    at[0] = wrapBack(line.writeIndex - words - n * frame, len);
    for (int k = 1; k < 4; ++k)
        at[k] = wrapBack(at[k - 1] - frame, len);
    const auto *x = static_cast<const float *>(line.buffer);
    auto *y = static_cast<float *>(out->buffer);
    for (int64_t i = 0; i < words; i += step) {
        for (int64_t e = 0; e < step; ++e) {
            float v[4];
            for (int k = 0; k < 4; ++k)
                v[k] = x[at[k] + e >= len ? at[k] + e - len : at[k] + e];
            y[i + e] = s->mode == 0 ? weight[1] * v[1] + weight[0] * v[0]
                                    : (v[0] * weight[0] + v[1] * weight[1]) + (v[2] * weight[2] + v[3] * weight[3]);
        }
        for (auto &a : at)
            a = a + step >= len ? a + step - len : a + step;
    }
}

// Bypassed, the reader passes the newest block of the line as it stands, without interpolation.
void readerBypass(ClassModule *m)
{
    const kve::fir::SourceLine line = followedLine(m);
    if (line.buffer == nullptr)
        return;
    const GenericWire *out = wire(m, inputs(m));
    int32_t from = static_cast<int32_t>(wrapBack(line.writeIndex - int64_t{wireWords(out)}, line.length));
    kve_vecCircRead(line.buffer, line.length, &from, 1, out->buffer, 1, static_cast<int32_t>(wireWords(out)));
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modDelayReaderClass =
    makeClass<5>(0xBEEF0CE3u, {wired<&kve_modDelayReaderClass, 1, 1>, readerProcess, readerBypass}, kVariables);
