// MultiplexorV2Fract32: MultiplexorV2 on Fract32 samples, its gains and coefficient in Fract32.
#include <cmath>

#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorV2Fract32Module {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    float fadeTime;
    int32_t numControlPins;
    Fract32 smoothingCoeff;
    Fract32 fadeOutGain;
    Fract32 fadeInGain;
    int32_t fadeCounter;
    int32_t fadeBlocks;
    int32_t currentIndex;
    int32_t nextIndex;
};

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(MultiplexorV2Fract32Module, index, Int),          KVE_VARIABLE(MultiplexorV2Fract32Module, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorV2Fract32Module, fadeTime, Float),     KVE_VARIABLE(MultiplexorV2Fract32Module, numControlPins, Int),
    KVE_VARIABLE(MultiplexorV2Fract32Module, smoothingCoeff, Fract32), KVE_VARIABLE(MultiplexorV2Fract32Module, fadeOutGain, Fract32),
    KVE_VARIABLE(MultiplexorV2Fract32Module, fadeInGain, Fract32),   KVE_VARIABLE(MultiplexorV2Fract32Module, fadeCounter, Int),
    KVE_VARIABLE(MultiplexorV2Fract32Module, fadeBlocks, Int),     KVE_VARIABLE(MultiplexorV2Fract32Module, currentIndex, Int),
    KVE_VARIABLE(MultiplexorV2Fract32Module, nextIndex, Int),
};

ClassModule *multiplexorV2Fract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modMultiplexorV2Fract32Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorV2Fract32Process(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorV2Fract32Module *>(m);
    const uint32_t first = firstAudioInput(m, x->numControlPins);
    if (!multiplexV2Switching(m, x, first, Fract32{0x7FFFFFFF}))
        return;
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const GenericWire *from = wire(m, first + static_cast<uint32_t>(x->currentIndex));
    const GenericWire *to = wire(m, first + static_cast<uint32_t>(x->nextIndex));
    const uint32_t ch = channels(wire(m, first));
    if (ch == 0)
        return;
    const bool fadeIn = x->fadeCounter <= 0;
    if (!fadeIn)
        --x->fadeCounter;
    const auto chs = static_cast<int32_t>(ch);
    const auto n = static_cast<int32_t>(std::min({wireWords(from), wireWords(to), wireWords(out)}) / ch);
    auto *dst = static_cast<Fract32 *>(out->buffer);
    kve_vecScaleSmooth_NchFract32(static_cast<const Fract32 *>(from->buffer), dst, chs, &x->fadeOutGain, 0, 0,
                                  x->smoothingCoeff, n);
    if (fadeIn) {
        // Every channel starts from the stored gain; the gain keeps the last channel's end value.
        Fract32 inGain = x->fadeInGain;
        for (uint32_t c = 0; c < ch; ++c) {
            inGain = x->fadeInGain;
            kve_vecScaleAddSmoothFract32(static_cast<const Fract32 *>(to->buffer) + c, chs, dst + c, chs, &inGain,
                                         0x7FFFFFFF, 0, x->smoothingCoeff, n);
        }
        x->fadeInGain = inGain;
    }
    if (x->fadeInGain > 0x7AE147AD)
        x->currentIndex = x->nextIndex;
}

int32_t multiplexorV2Fract32Set(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorV2Fract32Module *>(m);
    const GenericWire *audio = wire(m, firstAudioInput(m, x->numControlPins));
    const float fs = audio->sampleRate;
    const uint32_t blockTimesThousand = blockSize(audio) * 1000;
    x->smoothingCoeff = kve_rounded(design_smoother(1, x->smoothingTime, fs));
    x->fadeBlocks = blockCount(std::ceil(fs * x->fadeTime / static_cast<float>(blockTimesThousand)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modMultiplexorV2Fract32Class = makeClass<11>(
    0xBEEF08A4u, {multiplexorV2Fract32Constructor, multiplexorV2Fract32Process, multiplexV2Bypass<MultiplexorV2Fract32Module>, multiplexorV2Fract32Set}, kVariables);
