// DelayInterp: the audio input (wire 1) delayed by base + depth x modulation frames, the modulation read one value
// per frame from wire 0; mode 0 reads between two whole-frame taps, any other mode through a cubic over four. Each
// frame's samples go into the line before the taps read it, so a delay of 0 passes the input.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/DelayLines.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::dly;

struct DelayInterpModule {
    ClassModule header;
    int32_t maxDelay;
    int32_t mode;
    float baseDelay;
    float depth;
    int32_t writeIndex;
    int32_t heap;
    float *line;
};

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(DelayInterpModule, maxDelay, Int),   KVE_VARIABLE(DelayInterpModule, mode, Int),
    KVE_VARIABLE(DelayInterpModule, baseDelay, Float), KVE_VARIABLE(DelayInterpModule, depth, Float),
    KVE_VARIABLE(DelayInterpModule, writeIndex, Int), KVE_VARIABLE(DelayInterpModule, heap, Int),
    KVE_ARRAY(DelayInterpModule, line, FloatArray, fixedLength(0)),
};

// The float taps of one frame: two (linear) or four (cubic) and their weights.
struct FloatTaps {
    float base;
    float depth;
    float top;
    bool cubic;
    float weight[4] = {};
    void frame(uint32_t control, uint32_t, int64_t k[4])
    {
        float v;
        std::memcpy(&v, &control, sizeof v);
        float d = v * depth + base;
        d = d > 0.0f ? std::min(d, top) : 0.0f;
        const auto n = static_cast<int32_t>(d);
        const float f = d - static_cast<float>(n);
        k[0] = n;
        k[1] = int64_t{n} + 1;
        weight[0] = 1.0f - f;
        weight[1] = f;
        if (cubic) {
            cubicOffsets({n, d == 0.0f}, k);
            cubicWeights(f, weight);
        }
    }
    float sample(const float *line, const int64_t at[4]) const
    {
        const float two = weight[0] * line[at[0]] + weight[1] * line[at[1]];
        return cubic ? two + weight[2] * line[at[2]] + weight[3] * line[at[3]] : two;
    }
};

void delayInterpProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<DelayInterpModule *>(m);
    const uint32_t ch = channels(wire(m, 1));
    const uint32_t built = ch == 0 ? 1 : std::max(capacity(m, 0) / ch, 1u);
    const uint32_t maxDelay = std::min(heldDelay(s->maxDelay, UINT32_MAX), built - 1);
    FloatTaps taps{s->baseDelay, s->depth, static_cast<float>(maxDelay), s->mode != 0};
    processModulated(m, maxDelay, &s->writeIndex, s->line, taps);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modDelayInterpClass = makeClass<7>(
    0xBEEF0CE2u,
    {withArrays<&kve_modDelayInterpClass, 2, 1, 1, modulatedLine<DelayInterpModule>>, delayInterpProcess,
     bypassModulated},
    kVariables);
