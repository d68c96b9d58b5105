// MovingAverageFract32: per channel the mean of the last `length` samples, as a running sum of samples scaled by
// 1 / `length` on entry, so one block costs two words of memory traffic per sample whatever the length.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::statistics;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(MovingAverageModule, maxLength, Int),
    KVE_VARIABLE(MovingAverageModule, length, Int),
    KVE_VARIABLE(MovingAverageModule, stateIndex, Int),
    KVE_VARIABLE(MovingAverageModule, recipLength, Fract32),
    KVE_ARRAY(MovingAverageModule, delayLine, Fract32Array, fixedLength(0)),
    KVE_ARRAY(MovingAverageModule, sums, Fract32Array, fixedLength(0)),
};

// The line holds 1 + `maxLength` frames of the input's channels; a negative `maxLength` is refused (-67).
ClassModule *kve_modMovingAverageFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                    uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t maxLength = sizeArgument(argc, args, 4, 0);
    if (maxLength < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t ch = wires != nullptr && wires[0] != nullptr ? KVE_WIRE_CHANNELS(wires[0]->info1) : 0;
    auto variables = kVariables;
    variables[4].length = fixedLength(elementFactor(ch, uint64_t{static_cast<uint32_t>(maxLength)} + 1));
    variables[5].length = fixedLength(ch);
    return construct(kve_modMovingAverageFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The line as built: its channels (one running sum each) and its frames.
struct Line {
    uint32_t channels, frames;
};
Line lineOf(ClassModule *m)
{
    const uint32_t ch = capacity(m, 1);
    return {ch, ch == 0 ? 0 : capacity(m, 0) / ch};
}

// K, the averaging length, held to 1 .. the frames the line holds.
int32_t averagingLength(ClassModule *m, Line line)
{
    const int32_t written = reinterpret_cast<MovingAverageModule *>(m)->length;
    return std::clamp(written, 1, static_cast<int32_t>(std::max(line.frames, 1u)));
}

void kve_modMovingAverageFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<MovingAverageModule *>(m);
    const Line line = lineOf(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, inputCount(m));
    const uint32_t stride = KVE_WIRE_CHANNELS(in->info1);
    const uint32_t served = std::min(stride, line.channels);
    if (served == 0 || line.frames == 0)
        return;
    const uint32_t frames = std::min(wireWords(in), wireWords(out)) / stride;
    const int64_t size = int64_t{line.channels} * line.frames;
    const int64_t start = ((s->stateIndex % size) + size) % size;
    const int64_t back = int64_t{line.channels} * averagingLength(m, line);
    const Fract32 *x = wordsOf<Fract32>(in);
    Fract32 *y = wordsOf<Fract32>(out);
    for (uint32_t c = 0; c < served; ++c) {
        int64_t w = (start + c) % size;
        int64_t r = w - back < 0 ? w - back + size : w - back;
        // The sum wraps: every sample enters it once and leaves it once, so its wrapped value is the exact sum.
        auto sum = static_cast<uint32_t>(s->sums[c]);
        for (uint32_t i = 0; i < frames; ++i) {
            const Fract32 scaled = std::min<int64_t>((int64_t{x[i * stride + c]} * s->recipLength) >> 31, INT32_MAX);
            const auto old = static_cast<uint32_t>(s->delayLine[r]);
            s->delayLine[w] = scaled;
            sum += static_cast<uint32_t>(scaled) - old;
            y[i * stride + c] = static_cast<Fract32>(sum);
            w = w + line.channels >= size ? w + line.channels - size : w + line.channels;
            r = r + line.channels >= size ? r + line.channels - size : r + line.channels;
        }
        s->sums[c] = static_cast<Fract32>(sum);
    }
    s->stateIndex = static_cast<int32_t>((start + int64_t{frames} * line.channels) % size);
}

// A new length starts from silence: the line is cleared with the sums, so no sample scaled by an old 1 / length
// ever leaves a sum it did not enter.
int32_t kve_modMovingAverageFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MovingAverageModule *>(m);
    s->recipLength = kve_advFloatToFract32(1.0f / static_cast<float>(averagingLength(m, lineOf(m))));
    kve_vecFillFract32(s->delayLine, 1, 0, static_cast<int32_t>(capacity(m, 0)));
    kve_vecFillFract32(s->sums, 1, 0, static_cast<int32_t>(capacity(m, 1)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modMovingAverageFract32Class =
    makeClass<6>(0xBEEF0D11u,
                 {kve_modMovingAverageFract32Constructor, kve_modMovingAverageFract32Process, IOMatchUpModule_Bypass,
                  kve_modMovingAverageFract32Set},
                 kVariables);
