// WindowAliasFract32: the time-aliased analysis window in Fract32. The history is one ring of interleaved frames;
// each block is written at `stateIndex`, which then names the oldest frame, and each output sums `numFolds` windowed
// words in 64 bits before `postShift` scales and saturates the sum. Set makes the coefficients as WindowFract32 does.
#include "Modules/Advanced/WindowKit.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::windows;
using kve::filters::clampedCount;
using kve::filters::sizeArgument;
using kve::scalers::channels;

constexpr std::array<Variable, 7> kVariables = {
    KVE_VARIABLE(WindowAliasFract32Module, windowLength, Int),
    KVE_VARIABLE(WindowAliasFract32Module, stateIndex, Int),
    KVE_VARIABLE(WindowAliasFract32Module, numFolds, Int),
    KVE_VARIABLE(WindowAliasFract32Module, postShift, Int),
    KVE_ARRAY(WindowAliasFract32Module, window, FloatArray, perArgument(0)),
    KVE_ARRAY(WindowAliasFract32Module, windowFract32, Fract32Array, perArgument(0)),
    KVE_ARRAY_IN(WindowAliasFract32Module, state, Fract32Array, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *windowAliasFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t length = sizeArgument(argc, args, 4, 0);
    if (argc == 4 && !aliasShapeFits(length, sizeArgument(argc, args, 4, 2), blockOf(wires, 0), blockOf(wires, 1)))
        return refuse(status);
    auto variables = kVariables;
    variables[6].length = perChannelOfWire(0, static_cast<uint32_t>(std::max(length, 0)));
    return construct(kve_modWindowAliasFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

void windowAliasFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<WindowAliasFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t length = capacity(m, 0);
    const uint32_t ring = capacity(m, 2);
    if (length == 0 || ring == 0)
        return;
    const uint32_t built = ring / length;
    const auto ringLen = static_cast<int32_t>(ring);
    kve_vecCircWrite(s->state, ringLen, &s->stateIndex, 1, in->buffer, 1, static_cast<int32_t>(wireWords(in)));
    // An index a host wrote outside the ring names the frame it would reach going round.
    s->stateIndex = static_cast<int32_t>((s->stateIndex % ringLen + ringLen) % ringLen);
    const uint32_t outCh = channels(out);
    const uint32_t ch = std::min({channels(in), outCh, built});
    const uint32_t p = std::min(blockSize(out), length);
    const uint32_t folds = foldCount(s->numFolds, length, p);
    auto *y = static_cast<Fract32 *>(out->buffer);
    for (uint32_t c = 0; c < ch; ++c)
        for (uint32_t j = 0; j < p; ++j) {
            int64_t sum = 0;
            for (uint32_t k = 0; k < folds; ++k) {
                const uint32_t tap = j + k * p;
                const uint64_t word = (uint64_t{static_cast<uint32_t>(s->stateIndex)} + c + uint64_t{tap} * built) %
                                      ring;
                sum += kve_mulFract32(s->windowFract32[tap], s->state[word]);
            }
            y[j * outCh + c] = shiftedSum(sum, s->postShift);
        }
}

int32_t windowAliasFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<WindowAliasFract32Module *>(m);
    s->postShift = fixedPointWindow(s->window, s->windowFract32, clampedCount(s->windowLength, capacity(m, 0)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modWindowAliasFract32Class =
    makeClass<7>(0xBEEF0D4Au,
                 {windowAliasFract32Constructor, windowAliasFract32Process, IOMatchUpModule_Bypass,
                  windowAliasFract32Set},
                 kVariables);
