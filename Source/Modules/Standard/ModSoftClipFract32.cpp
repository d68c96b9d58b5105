// SoftClipFract32: the soft knee in Fract32 below a headroom of headroomShift bits; Get reports each channel's
// momentary gain from the last frame it shaped.
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Scalers.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

struct SoftClipFract32Module {
    ClassModule header;
    float thresholdDB;
    int32_t headroomShift;
    int32_t thresholdFract32;
    int32_t *lastIn;
    int32_t *lastOut;
    float *gain;
};

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(SoftClipFract32Module, thresholdDB, Float),
    KVE_VARIABLE(SoftClipFract32Module, headroomShift, Int),
    KVE_VARIABLE(SoftClipFract32Module, thresholdFract32, Int),
    KVE_ARRAY(SoftClipFract32Module, lastIn, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(SoftClipFract32Module, lastOut, Fract32Array, perChannelOfWire(0)),
    KVE_ARRAY(SoftClipFract32Module, gain, FloatArray, perChannelOfWire(0)),
};

ClassModule *softClipFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return construct(kve_modSoftClipFract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// The headroom is a shift of a 32-bit word: 0..31 bits.
void softClipFract32Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SoftClipFract32Module *>(m);
    const int32_t shift = std::clamp(s->headroomShift, 0, 31);
    const Fract32 threshold = s->thresholdFract32 >> shift;
    const auto limit = static_cast<Fract32>((int64_t{1} << (31 - shift)) - 1);
    clipKeepingLastFrame<Fract32>(m, s, [threshold, limit](const Fract32 *x, Fract32 *y, int32_t n) {
        kve_vecSoftClipFract32(x, threshold, limit, y, n);
    });
}

int32_t softClipFract32Set(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SoftClipFract32Module *>(m);
    s->thresholdFract32 = kve_rounded(kve::scalers::undB(s->thresholdDB));
    return 0;
}

// A channel whose last input was silent passed it unchanged: gain 1.
int32_t softClipFract32Get(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SoftClipFract32Module *>(m);
    const uint32_t ch = keptChannels(m);
    for (uint32_t c = 0; c < ch; ++c)
        s->gain[c] = s->lastIn[c] == 0 ? 1.0f : static_cast<float>(s->lastOut[c]) / static_cast<float>(s->lastIn[c]);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modSoftClipFract32Class = makeClass<6>(
    0xBEEF08CCu,
    {softClipFract32Constructor, softClipFract32Process, IOMatchUpModule_Bypass, softClipFract32Set,
     softClipFract32Get},
    kVariables);
