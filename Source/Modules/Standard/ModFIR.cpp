// FIR: a finite-impulse-response filter of `numTaps` taps on every channel. The host writes `coeffs` in time order
// (tap 0 weights the newest sample); Set rebuilds the time-reversed working copy the filter kernel reads, kept
// after the host's taps, so the host's array never changes and Set may run any number of times.
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;
using namespace kve::scalers;

struct FIRModule {
    ClassModule header;
    int32_t numTaps;
    int32_t stateIndex;
    float *coeffs;
    float *state;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(FIRModule, numTaps, Int),
    KVE_VARIABLE(FIRModule, stateIndex, Int),
    KVE_ARRAY(FIRModule, coeffs, FloatArray, fixedLength(0)),
    KVE_ARRAY_IN(FIRModule, state, FloatArray, perChannelOfWire(0), KVE_HEAPS_LONG_STATE),
};

// State words per channel beyond the block and the taps: the history the kernel keeps is one word shorter than the
// taps, the rest is headroom.
constexpr uint32_t kStateSpare = 3;

ClassModule *firConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const int32_t taps = sizeArgument(argc, args, 2, 0);
    if (taps < 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? blockSize(wires[0]) : 0;
    auto variables = kVariables;
    // The host's taps and one more word, then the working copy.
    variables[2].length = fixedLength(elementFactor(2ull * static_cast<uint32_t>(taps) + 1, 1));
    const uint64_t perChannel = uint64_t{block} + static_cast<uint32_t>(taps) + kStateSpare;
    variables[3].length = perChannelOfWire(0, elementFactor(perChannel, 1));
    return construct(kve_modFIRClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The taps the coefficient array was built for.
uint32_t tapCapacity(ClassModule *m) { return (capacity(m, 0) - 1) / 2; }
// The working copy, time-reversed for the kernel, after the host's taps and their spare word.
float *workingTaps(ClassModule *m) { return reinterpret_cast<FIRModule *>(m)->coeffs + tapCapacity(m) + 1; }

void firProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<FIRModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    const auto inc = static_cast<int32_t>(ch);
    const int32_t n = frames(in, out);
    const uint32_t taps = clampedCount(s->numTaps, tapCapacity(m));
    if (taps == 0)
        return; // no taps run: the output wire keeps what it holds, as the twin class does
    if (taps == 1) {
        for (uint32_t c = 0; c < ch; ++c)
            kve_vecScale(samples(in) + c, inc, samples(out) + c, inc, s->coeffs[0], n);
        return;
    }
    // Each channel's history and room for the block, at the size the state was built for.
    const uint32_t perChannel = blockSize(in) + tapCapacity(m) + kStateSpare;
    const uint32_t served = servedChannels(ch, capacity(m, 1) / perChannel);
    const float *reversed = workingTaps(m);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecFIR(samples(in) + c, inc, samples(out) + c, inc, reversed, s->state + c * perChannel, n,
                   static_cast<int32_t>(taps));
}

int32_t firSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<FIRModule *>(m);
    const uint32_t taps = clampedCount(s->numTaps, tapCapacity(m));
    float *reversed = workingTaps(m);
    for (uint32_t i = 0; i < taps; ++i)
        reversed[i] = s->coeffs[taps - 1 - i];
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modFIRClass =
    makeClass<4>(0xBEEF080Fu, {firConstructor, firProcess, IOMatchUpModule_Bypass, firSet}, kVariables);
