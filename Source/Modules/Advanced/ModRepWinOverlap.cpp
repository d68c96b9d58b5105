// RepWinOverlap: the input block laid `numRepeats` times end to end under a window of `stateLength` samples and
// overlap-added at a hop of the output's block size, as a synthesis stage after a transform shorter than the window.
#include "Dsp/Neon.h"
#include "Modules/Advanced/WindowKit.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;
using kve::filters::sizeArgument;
using kve::scalers::channels;
using kve::scalers::samples;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(RepWinOverlapModule, stateLength, Int),
    KVE_VARIABLE(RepWinOverlapModule, numRepeats, Int),
    KVE_ARRAY(RepWinOverlapModule, window, FloatArray, perArgument(0)),
    KVE_ARRAY_IN(RepWinOverlapModule, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *repWinOverlapConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t length = sizeArgument(argc, args, 2, 0);
    const int32_t repeats = sizeArgument(argc, args, 2, 1);
    // The repeats laid under the window and the hop handed out must both fit the state.
    const uint64_t laid = uint64_t{static_cast<uint32_t>(std::max(repeats, 0))} * blockOf(wires, 0);
    if (argc == 2 && (length < 0 || laid > static_cast<uint32_t>(length) ||
                      blockOf(wires, 1) > static_cast<uint32_t>(length)))
        return refuse(status);
    auto variables = kVariables;
    variables[3].length = perChannelOfWire(0, static_cast<uint32_t>(std::max(length, 0)));
    return construct(kve_modRepWinOverlapClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// acc[i] += w[i] x x[i x xInc] for i < n: eight at a time, then one at a time.
void addWindowed(float *acc, const float *w, const float *x, uint32_t xInc, uint32_t n)
{
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        float lanes[8];
        for (uint32_t k = 0; k < 8; ++k)
            lanes[k] = x[(i + k) * xInc];
        vst1q_f32(acc + i, vaddq_f32(vld1q_f32(acc + i), vmulq_f32(vld1q_f32(w + i), vld1q_f32(lanes))));
        vst1q_f32(acc + i + 4,
                  vaddq_f32(vld1q_f32(acc + i + 4), vmulq_f32(vld1q_f32(w + i + 4), vld1q_f32(lanes + 4))));
    }
    for (; i < n; ++i)
        acc[i] += w[i] * x[i * xInc];
}

void repWinOverlapProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<RepWinOverlapModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    // The state and window as built; a host's later `stateLength` does not move them.
    const uint32_t length = capacity(m, 0);
    if (length == 0)
        return;
    const uint32_t inCh = channels(in);
    const uint32_t outCh = channels(out);
    const uint32_t ch = std::min({inCh, outCh, capacity(m, 1) / length});
    const uint32_t n = std::min(blockSize(in), length);
    const uint32_t p = std::min(blockSize(out), length);
    const uint32_t written = s->numRepeats <= 0 ? 0u : static_cast<uint32_t>(s->numRepeats);
    const uint32_t repeats = n == 0 ? 0u : std::min(written, length / n);
    for (uint32_t c = 0; c < ch; ++c) {
        float *state = s->state + c * length;
        for (uint32_t r = 0; r < repeats; ++r)
            addWindowed(state + r * n, s->window + r * n, samples(in) + c, inCh, n);
        for (uint32_t j = 0; j < p; ++j)
            samples(out)[j * outCh + c] = state[j];
        std::memmove(state, state + p, (length - p) * sizeof(float));
        std::fill(state + length - p, state + length, 0.0f);
    }
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modRepWinOverlapClass =
    makeClass<4>(0xBEEF0D1Eu, {repWinOverlapConstructor, repWinOverlapProcess, IOMatchUpModule_Bypass, nullptr},
                 kVariables);
