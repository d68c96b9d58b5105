// LogicBinaryOp: the inputs combined bit by bit with AND (`operation` 0), OR (1) or XOR (any other code), into one
// output. With `oneChannelOutput` set, every channel of every input is folded into the output's one channel.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::logic;

struct LogicBinaryOpModule {
    ClassModule header;
    int32_t operation;
    int32_t oneChannelOutput;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(LogicBinaryOpModule, operation, Int),
    KVE_VARIABLE(LogicBinaryOpModule, oneChannelOutput, Int),
};

using BitOp = void (*)(const int32_t *, int32_t, const int32_t *, int32_t, int32_t *, int32_t, int32_t);

BitOp bitOpOf(int32_t operation)
{
    return operation == 0 ? kve_vecAnd2x1 : operation == 1 ? kve_vecOr2x1 : kve_vecXor2x1;
}

// Output = input 0, then output = output OP input k for every further input, over the words both hold.
void combineWordByWord(ClassModule *m, BitOp op)
{
    const GenericWire *out = firstOutput(m);
    int32_t *y = logicWords(out);
    const int32_t n = held({wire(m, 0), out});
    kve_vecCopy32(logicWords(wire(m, 0)), 1, y, 1, n);
    for (uint32_t k = 1; k < inputs(m); ++k) {
        const GenericWire *in = wire(m, k);
        op(y, 1, logicWords(in), 1, y, 1, std::min(n, held({in})));
    }
}

// Output = channel 0 of input 0, then output = output OP channel c of input k for every other channel of every
// input, each over the frames both hold.
void combineIntoOneChannel(ClassModule *m, BitOp op)
{
    const GenericWire *first = wire(m, 0);
    const GenericWire *out = firstOutput(m);
    int32_t *y = logicWords(out);
    const int32_t frames = channels(first) == 0 ? 0 : std::min(held({out}), static_cast<int32_t>(blockSize(first)));
    kve_vecCopy32(logicWords(first), static_cast<int32_t>(channels(first)), y, 1, frames);
    for (uint32_t k = 0; k < inputs(m); ++k) {
        const GenericWire *in = wire(m, k);
        const auto ch = static_cast<int32_t>(channels(in));
        const int32_t n = std::min(frames, static_cast<int32_t>(blockSize(in)));
        for (int32_t c = k == 0 ? 1 : 0; c < ch; ++c)
            op(y, 1, logicWords(in) + c, ch, y, 1, n);
    }
}

void logicBinaryOpProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<const LogicBinaryOpModule *>(m);
    if (s->oneChannelOutput == 0)
        combineWordByWord(m, bitOpOf(s->operation));
    else
        combineIntoOneChannel(m, bitOpOf(s->operation));
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modLogicBinaryOpClass = makeClass<2>(
    0xBEEF0825u, {wired<&kve_modLogicBinaryOpClass, 1, 1>, logicBinaryOpProcess, bypassWithFalse}, kVariables);
