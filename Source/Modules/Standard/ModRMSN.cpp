// RMSN: per channel of the input, the block's mean square averaged over blocks by a one-pole filter; the output's
// sample c is channel c's running RMS.
#include <cmath>

#include "Modules/Standard/Dynamics.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct RMSNModule {
    ClassModule header;
    float averagingTime;
    float a1;
    float b0;
    float *meanSquare;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(RMSNModule, averagingTime, Float),
    KVE_VARIABLE(RMSNModule, a1, Float),
    KVE_VARIABLE(RMSNModule, b0, Float),
    KVE_ARRAY(RMSNModule, meanSquare, FloatArray, perChannelOfWire(0)),
};

ClassModule *rmsnConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    return construct(kve_modRMSNClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Channels beyond the averagers built, or beyond the output's room, are left alone.
void rmsnProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RMSNModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t ch = kve::shapes::channels(in);
    const uint32_t block = ch == 0 ? 0 : wireWords(in) / ch;
    const float scale = s->b0 / static_cast<float>(block);
    const uint32_t served = std::min({ch, capacity(m, 0), wireWords(out)});
    const auto *x = static_cast<const float *>(in->buffer);
    auto *y = static_cast<float *>(out->buffer);
    for (uint32_t c = 0; c < served; ++c) {
        const float sum = kve_vecSumSquaredStride(x + c, static_cast<int32_t>(ch), static_cast<int32_t>(block));
        s->meanSquare[c] = scale * sum - s->a1 * s->meanSquare[c];
        y[c] = std::sqrt(s->meanSquare[c]);
    }
}

int32_t rmsnSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<RMSNModule *>(m);
    if (mask & (1u << 8)) {
        const float p = averagingPole(m, s->averagingTime);
        s->a1 = -p;
        s->b0 = 1.0f - p;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modRMSNClass =
    makeClass<4>(0xBEEF08DAu, {rmsnConstructor, rmsnProcess, IOMatchUpModule_Bypass, rmsnSet}, kVariables);
