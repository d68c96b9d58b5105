// WindowFract32: a fixed-point analysis window over every channel of a block. Set turns the host's float `window`
// into Fract32 coefficients under one exponent, `postShift`, that Process applies after each product.
#include "Modules/Advanced/WindowKit.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;
using kve::filters::clampedCount;
using kve::filters::sizeArgument;
using kve::scalers::channels;
using kve::scalers::frames;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(WindowFract32Module, windowLength, Int),
    KVE_VARIABLE(WindowFract32Module, postShift, Int),
    KVE_ARRAY(WindowFract32Module, window, FloatArray, perArgument(0)),
    KVE_ARRAY(WindowFract32Module, windowFract32, Fract32Array, perArgument(0)),
};

ClassModule *windowFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t length = sizeArgument(argc, args, 2, 0);
    // Every sample of the block takes a coefficient.
    if (argc == 2 && (length < 0 || static_cast<uint32_t>(length) < blockOf(wires, 0)))
        return refuse(status);
    return construct(kve_modWindowFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void windowFract32Process(ClassModule *m)
{
    const auto *s = reinterpret_cast<WindowFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    const uint32_t n = std::min(static_cast<uint32_t>(frames(in, out)), capacity(m, 1));
    const auto *x = static_cast<const Fract32 *>(in->buffer);
    auto *y = static_cast<Fract32 *>(out->buffer);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t c = 0; c < ch; ++c)
            y[j * ch + c] = shiftedProduct(kve_mulFract32(s->windowFract32[j], x[j * ch + c]), s->postShift);
}

int32_t windowFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<WindowFract32Module *>(m);
    s->postShift = fixedPointWindow(s->window, s->windowFract32, clampedCount(s->windowLength, capacity(m, 0)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modWindowFract32Class =
    makeClass<4>(0xBEEF0D4Cu,
                 {windowFract32Constructor, windowFract32Process, IOMatchUpModule_Bypass, windowFract32Set},
                 kVariables);
