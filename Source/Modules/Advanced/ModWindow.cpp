// Window: an analysis window over every channel of a block. The samples from `startIndex` to `stopIndex` are kept,
// scaled by `gain` and weighted by `window`; a stop before the start keeps a span that wraps past the block's end
// (the samples before the stop and from the start on). On a complex wire each complex sample is one unit, kept or
// cleared whole and weighted by one coefficient.
#include "Modules/Advanced/WindowKit.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;
using kve::scalers::channels;
using kve::scalers::frames;
using kve::scalers::isComplex;
using kve::scalers::samples;

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(WindowModule, startIndex, UInt),
    KVE_VARIABLE(WindowModule, stopIndex, UInt),
    KVE_VARIABLE(WindowModule, gain, Float),
    KVE_VARIABLE(WindowModule, windowOption, Int),
    KVE_ARRAY(WindowModule, window, FloatArray, fixedLength(0)),
};

ClassModule *windowConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const bool complex = wires != nullptr && wires[0] != nullptr && isComplex(wires[0]);
    auto variables = kVariables;
    variables[4].length = fixedLength(complex ? blockOf(wires, 0) / 2 : blockOf(wires, 0));
    return construct(kve_modWindowClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

void windowProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<WindowModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t parts = isComplex(in) ? 2 : 1;
    const uint32_t stride = channels(in) * parts;
    const uint32_t n = std::min(static_cast<uint32_t>(frames(in, out)) / parts, capacity(m, 0));
    const uint32_t a = std::min(s->startIndex, n);
    const uint32_t b = std::min(s->stopIndex, n);
    const float *x = samples(in);
    float *y = samples(out);
    const float gain = s->gain;
    const float *window = s->window;
    // Frames from .. to - 1 weighted, or cleared; one real channel runs as one flat loop.
    const auto keep = [&](uint32_t from, uint32_t to) {
        if (stride == 1) {
            for (uint32_t j = from; j < to; ++j)
                y[j] = gain * x[j] * window[j];
            return;
        }
        for (uint32_t j = from; j < to; ++j)
            for (uint32_t w = j * stride; w < (j + 1) * stride; ++w)
                y[w] = gain * x[w] * window[j];
    };
    const auto clear = [&](uint32_t from, uint32_t to) {
        std::fill(y + size_t{from} * stride, y + size_t{to} * stride, 0.0f);
    };
    // a <= b keeps a .. b (one frame when they meet); b < a keeps the wrapped span 0 .. b - 1 and a .. N - 1.
    if (a <= b) {
        const uint32_t end = std::min(b + 1, n);
        clear(0, a);
        keep(a, end);
        clear(end, n);
    } else {
        keep(0, b);
        clear(b, a);
        keep(a, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modWindowClass =
    makeClass<5>(0xBEEF0D4Du, {windowConstructor, windowProcess, IOMatchUpModule_Bypass, nullptr}, kVariables);
