// LMSNormFract32: the fixed-point normalised LMS filter per channel. Input 0 is the filter input and input 1 the
// desired signal; output 0 gets the filter output and output 1 the error. The kernel's window energy and leaving
// sample of each channel run on from block to block, so the step it normalises by stays the energy of the window.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = LMSNormFract32Module;

constexpr uint32_t kArrays = 3;

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, mu, Float),
    KVE_VARIABLE(M, lmsParamA, Int),
    KVE_VARIABLE(M, lmsParamB, Int),
    KVE_VARIABLE(M, lmsShift, Int),
    KVE_VARIABLE(M, muFract32, Fract32),
    KVE_VARIABLE(M, lmsValueA, Int),
    KVE_VARIABLE(M, lmsValueB, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(0)),
    KVE_ARRAY(M, coeffsFract32, Fract32Array, perArgument(0)),
    KVE_ARRAY_IN(M, state, Fract32Array, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

// Per channel: the history of numTaps - 1 samples and room for the block, and two hidden running words.
ClassModule *lmsConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 2, 2))
        return nullptr;
    auto variables = kVariables;
    uint32_t channels = 0;
    if (args != nullptr && argc == 8 && wires != nullptr && wires[0] != nullptr) {
        const auto taps = static_cast<int32_t>(args[0]);
        if (!sizeArgumentOk(status, taps))
            return nullptr;
        channels = KVE_WIRE_CHANNELS(wires[0]->info1);
        const int64_t words = std::max<int64_t>(int64_t{blockSize(wires[0])} + taps - 1, 1);
        variables[10].length = perChannelOfWire(0, static_cast<uint32_t>(std::min<int64_t>(words, UINT32_MAX)));
    }
    ClassModule *m = construct(kve_modLMSNormFract32Class, variables, 2, 2, status, wireWord, wires, argc, args,
                               2 * channels);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<M *>(m);
    uint32_t *running = extraWords(m, kArrays);
    for (uint32_t c = 0; c < channels; ++c) {
        running[2 * c] = static_cast<uint32_t>(s->lmsValueA);
        running[2 * c + 1] = static_cast<uint32_t>(s->lmsValueB);
    }
    return m;
}

void lmsProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *desired = wire(m, 1);
    const uint32_t ch = KVE_WIRE_CHANNELS(in->info1);
    const uint32_t served = std::min(ch, (kve_fwModuleHiddenWords(m)[-1] - kArrays) / 2);
    const uint32_t per = perChannel(m, 2, ch);
    const int64_t block = blockSize(in);
    const int64_t frames = std::min({wireWords(in), wireWords(desired), wireWords(wire(m, 2)),
                                     wireWords(wire(m, 3))}) / std::max(ch, 1u);
    const auto n = static_cast<int32_t>(std::min(block, frames));
    // The history the state holds beside the block bounds the taps.
    const int64_t taps = std::min<int64_t>(heldTaps(m, s->numTaps), int64_t{per} - block + 1);
    if (served == 0 || n < 1 || taps < 1)
        return;
    auto *running = reinterpret_cast<Fract32 *>(extraWords(m, kArrays));
    for (uint32_t c = 0; c < served; ++c)
        kve_vecLMSNormFract32(static_cast<const Fract32 *>(in->buffer) + c,
                              static_cast<const Fract32 *>(desired->buffer) + c,
                              static_cast<Fract32 *>(wire(m, 2)->buffer) + c,
                              static_cast<Fract32 *>(wire(m, 3)->buffer) + c, s->state + c * per, s->coeffsFract32,
                              running + 2 * c, running + 2 * c + 1, n, static_cast<int32_t>(ch),
                              static_cast<int32_t>(taps), s->muFract32, s->lmsShift);
}

int32_t lmsSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    s->muFract32 = kve_advFloatToFract32(s->mu);
    fract32Taps(m, s->numTaps, s->coeffs, s->coeffsFract32, true);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modLMSNormFract32Class =
    makeClass<11>(0xBEEF0D0Du, {lmsConstructor, lmsProcess, IOMatchUpModule_Bypass, lmsSet}, kVariables);
