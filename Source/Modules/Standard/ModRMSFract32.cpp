// RMSFract32: the Fract32 mean square of every sample of every input, averaged over blocks by a one-pole filter in
// Q1.31; the running RMS goes to the first sample of the output when the module has one.
#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct RMSFract32Module {
    ClassModule header;
    float averagingTime;
    int32_t blockRms;
    int32_t rms;
    int32_t a1;
    int32_t b0;
    int32_t b1;
    int32_t prevMeanSquare;
    int32_t meanSquare;
};

using M = RMSFract32Module;
constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(M, averagingTime, Float), KVE_VARIABLE(M, blockRms, Int), KVE_VARIABLE(M, rms, Int),
    KVE_VARIABLE(M, a1, Int),              KVE_VARIABLE(M, b0, Int),       KVE_VARIABLE(M, b1, Int),
    KVE_VARIABLE(M, prevMeanSquare, Int),  KVE_VARIABLE(M, meanSquare, Int),
};

// One or more inputs; the output is optional.
ClassModule *rmsFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    const uint32_t n = std::max(KVE_PACKED_INPUTS(wireWord), 1u);
    return construct(kve_modRMSFract32Class, kVariables, n, 0, status, wireWord, wires, argc, args);
}

void rmsFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const Energy<int64_t> e = energyOfInputs<Fract32, int64_t>(m, kve_vecSumSquaredFract32);
    const Fract32 meanSquare =
        e.samples == 0 ? 0 : kve_saturate64(e.sum / static_cast<int64_t>(e.samples));
    const int64_t y = int64_t{kve_mulFract32(s->b0, meanSquare)} + kve_mulFract32(s->b1, s->prevMeanSquare) -
                      kve_mulFract32(s->a1, s->meanSquare);
    s->prevMeanSquare = meanSquare;
    s->meanSquare = kve_saturate64(y);
    kve_vecSqrtFract32(&meanSquare, 1, &s->blockRms, 1, 1);
    kve_vecSqrtFract32(&s->meanSquare, 1, &s->rms, 1, 1);
    if (kve::shapes::outputs(m) != 0) {
        GenericWire *out = wire(m, kve::shapes::inputs(m));
        if (wireWords(out) != 0)
            static_cast<Fract32 *>(out->buffer)[0] = s->rms;
    }
}

// The averager is redesigned only when its time is written, so its memory carries on across other writes.
int32_t rmsFract32Set(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<M *>(m);
    if (mask & (1u << 8)) {
        const Fract32 p = kve_rounded(averagingPole(m, s->averagingTime));
        s->a1 = -p;
        s->b0 = INT32_MAX - p;
        s->b1 = 0;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modRMSFract32Class = makeClass<8>(
    0xBEEF08AEu, {rmsFract32Constructor, rmsFract32Process, IOMatchUpModule_Bypass, rmsFract32Set}, kVariables);
