// WindowAlias: a time-aliased analysis window. Each channel keeps its last `windowLength` samples; an output block
// of P samples sums `numFolds` windowed segments of P samples of that history, so a window longer than the transform
// that follows shapes its bins more sharply. `stateIndex` is the host's own; the history shifts in place.
#include "Dsp/Neon.h"
#include "Modules/Advanced/WindowKit.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;
using kve::filters::sizeArgument;
using kve::scalers::channels;
using kve::scalers::samples;

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(WindowAliasModule, windowLength, Int),
    KVE_VARIABLE(WindowAliasModule, stateIndex, Int),
    KVE_VARIABLE(WindowAliasModule, numFolds, Int),
    KVE_ARRAY(WindowAliasModule, window, FloatArray, perArgument(0)),
    KVE_ARRAY_IN(WindowAliasModule, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *windowAliasConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t length = sizeArgument(argc, args, 3, 0);
    if (argc == 3 && !aliasShapeFits(length, sizeArgument(argc, args, 3, 2), blockOf(wires, 0), blockOf(wires, 1)))
        return refuse(status);
    auto variables = kVariables;
    // Each channel's history, and one spare word.
    variables[4].length = {Length::From::WireChannels, 0, static_cast<uint32_t>(std::max(length, 0)), 1};
    return construct(kve_modWindowAliasClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// y[m x yInc] = sum over k < folds of w[m + kP] x h[m + kP] for m < P, the terms added in k order; eight outputs at a
// time, then one at a time.
void foldSegments(const float *w, const float *h, uint32_t p, uint32_t folds, float *y, uint32_t yInc)
{
    uint32_t m = 0;
    for (; m + 8 <= p; m += 8) {
        float32x4_t lo = vmulq_f32(vld1q_f32(w + m), vld1q_f32(h + m));
        float32x4_t hi = vmulq_f32(vld1q_f32(w + m + 4), vld1q_f32(h + m + 4));
        for (uint32_t k = 1; k < folds; ++k) {
            const uint32_t at = m + k * p;
            lo = vaddq_f32(lo, vmulq_f32(vld1q_f32(w + at), vld1q_f32(h + at)));
            hi = vaddq_f32(hi, vmulq_f32(vld1q_f32(w + at + 4), vld1q_f32(h + at + 4)));
        }
        float lanes[8];
        vst1q_f32(lanes, lo);
        vst1q_f32(lanes + 4, hi);
        for (uint32_t i = 0; i < 8; ++i)
            y[(m + i) * yInc] = lanes[i];
    }
    for (; m < p; ++m) {
        float acc = w[m] * h[m];
        for (uint32_t k = 1; k < folds; ++k)
            acc += w[m + k * p] * h[m + k * p];
        y[m * yInc] = acc;
    }
}

void windowAliasProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<WindowAliasModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    // The history and window as built; a host's later `windowLength` does not move them.
    const uint32_t length = capacity(m, 0);
    if (length == 0)
        return;
    const uint32_t inCh = channels(in);
    const uint32_t outCh = channels(out);
    const uint32_t ch = std::min({inCh, outCh, (capacity(m, 1) - 1) / length});
    const uint32_t block = blockSize(in);
    const uint32_t n = std::min(block, length);
    const uint32_t p = std::min(blockSize(out), length);
    const uint32_t folds = foldCount(s->numFolds, length, p);
    const float *x = samples(in);
    for (uint32_t c = 0; c < ch; ++c) {
        float *history = s->state + c * length;
        std::memmove(history, history + n, (length - n) * sizeof(float));
        for (uint32_t j = 0; j < n; ++j)
            history[length - n + j] = x[(block - n + j) * inCh + c];
        foldSegments(s->window, history, p, folds, samples(out) + c, outCh);
    }
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modWindowAliasClass =
    makeClass<5>(0xBEEF0D4Bu, {windowAliasConstructor, windowAliasProcess, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
