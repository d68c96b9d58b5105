// LMS: a normalised LMS adaptive filter. Input 0 is the desired signal and input 1 the filter input; output 0 gets
// the filter output and output 1 the error. A third output, when wired, shows the weights: the first `numTaps`,
// then zeros up to `maxTaps`.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = LMSModule;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(M, maxTaps, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, mu, Float),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(0)),
    KVE_ARRAY_IN(M, state, FloatArray, perArgument(0), KVE_HEAPS_LONG_STATE),
};

ClassModule *lmsConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    if (!requireWires(status, wireWord, 2, 2))
        return nullptr;
    if (args != nullptr && argc == 4 && !sizeArgumentOk(status, static_cast<int32_t>(args[0])))
        return nullptr;
    return construct(kve_modLMSClass, kVariables, 2, 2, status, wireWord, wires, argc, args);
}

void lmsProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *desired = wire(m, 0);
    const GenericWire *in = wire(m, 1);
    GenericWire *out = wire(m, 2);
    GenericWire *err = wire(m, 3);
    const auto n = static_cast<int32_t>(std::min({blockSize(in), wireWords(desired), wireWords(in), wireWords(out),
                                                  wireWords(err)}));
    // The ring is as long as the filter, so a host that changes numTaps changes the ring the index runs in.
    const auto taps = static_cast<int32_t>(heldTaps(m, s->numTaps));
    if (taps > 0)
        s->stateIndex = ringPosition(s->stateIndex, taps);
    kve_vecLMS(static_cast<const float *>(desired->buffer), static_cast<const float *>(in->buffer),
               static_cast<float *>(out->buffer), static_cast<float *>(err->buffer), s->coeffs, s->state,
               &s->stateIndex, n, s->mu, taps);
    if (KVE_PACKED_OUTPUTS(m->packed) < 3)
        return;
    GenericWire *weights = wire(m, 4);
    const auto room = static_cast<int32_t>(std::min<uint32_t>(wireWords(weights), capacity(m, 0)));
    const int32_t shown = std::min(taps, room);
    kve_vecCopy32(s->coeffs, 1, weights->buffer, 1, shown);
    const int32_t total = std::clamp(s->maxTaps, shown, room);
    kve_vecFill(static_cast<float *>(weights->buffer) + shown, 1, 0.0f, total - shown);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modLMSClass =
    makeClass<6>(0xBEEF0D0Cu, {lmsConstructor, lmsProcess}, kVariables);
