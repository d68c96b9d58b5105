// FIRFract32: an FIR filter on Fract32 samples, its taps converted from the float taps in `coeffs` into Q1.31 words
// with one post shift. The kernel weights the newest sample with the first word, so the converted words are held
// reversed: the host's last tap weights the newest sample.
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::scalers;
using namespace kve::filters;

struct FIRFract32Module {
    ClassModule header;
    int32_t numTaps;
    int32_t stateIndex;
    int32_t postShift;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(FIRFract32Module, numTaps, Int),
    KVE_VARIABLE(FIRFract32Module, stateIndex, Int),
    KVE_VARIABLE(FIRFract32Module, postShift, Int),
    KVE_ARRAY(FIRFract32Module, coeffs, FloatArray, perArgument(0)),
    KVE_ARRAY(FIRFract32Module, coeffsFract32, Fract32Array, perArgument(0)),
    KVE_ARRAY_IN(FIRFract32Module, state, Fract32Array, perChannelOfWire(0), KVE_HEAPS_LONG_STATE),
};

// Words of one channel's state: the block size and the taps the module was built for, plus 3.
uint32_t stateStride(ClassModule *m) { return blockSize(wire(m, 0)) + capacity(m, 1) + 3; }

// Taps the module runs and converts: `numTaps`, held to the taps its arrays were allocated for.
uint32_t tapsOf(ClassModule *m)
{
    const int32_t wanted = reinterpret_cast<const FIRFract32Module *>(m)->numTaps;
    return clampedCount(wanted, std::min(capacity(m, 0), capacity(m, 1)));
}

ClassModule *firFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    // Per channel, the block and the taps plus 3 words. A tap count too large to allocate fails on the taps first.
    auto variables = kVariables;
    const uint64_t taps = argc == 3 && args != nullptr ? args[0] : 0;
    const uint64_t block = wires != nullptr && wires[0] != nullptr ? KVE_WIRE_BLOCK_SIZE(wires[0]->info2) : 0;
    variables[5].length.times = static_cast<uint32_t>(std::min<uint64_t>(block + taps + 3, UINT32_MAX));
    return construct(kve_modFIRFract32Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

void firFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<FIRFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = wire(m, 1);
    const uint32_t ch = channels(in);
    const int32_t n = frames(in, out);
    const auto stride = static_cast<int32_t>(ch);
    const uint32_t taps = tapsOf(m);
    if (taps == 1) {
        for (uint32_t c = 0; c < ch; ++c)
            kve_vecScaleFract32(words(in) + c, stride, words(out) + c, stride, s->coeffsFract32[0], s->postShift, n);
        return;
    }
    if (taps == 0)
        return;
    // Every channel starts from the same ring position; the position moves once per block.
    const int32_t start = std::clamp(s->stateIndex, 0, static_cast<int32_t>(taps) - 1);
    const uint32_t perChannel = stateStride(m);
    const uint32_t served = servedChannels(ch, capacity(m, 2) / perChannel);
    int32_t index = start;
    for (uint32_t c = 0; c < served; ++c) {
        index = start;
        kve_vecFIRFract32(words(in) + c, stride, words(out) + c, stride, s->coeffsFract32, s->state + perChannel * c,
                          n, static_cast<int32_t>(taps), &index, s->postShift);
    }
    s->stateIndex = index;
}

int32_t firFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<FIRFract32Module *>(m);
    const uint32_t taps = tapsOf(m);
    s->postShift = coefficientShift(s->coeffs, taps);
    convertCoefficients(s->coeffs, s->coeffsFract32, taps, s->postShift);
    std::reverse(s->coeffsFract32, s->coeffsFract32 + taps);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFIRFract32Class = makeClass<6>(
    0xBEEF088Eu, {firFract32Constructor, firFract32Process, IOMatchUpModule_Bypass, firFract32Set}, kVariables);
