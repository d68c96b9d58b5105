// MultiplexorV2: passes one audio input, chosen by `index` or by the first word of a control pin at wire 0; a change
// first fades the old input out alone for `fadeBlocks` blocks, then fades the new one in over it.
#include <cmath>

#include "Modules/Standard/Routers.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct MultiplexorV2Module {
    ClassModule header;
    int32_t index;
    float smoothingTime;
    float fadeTime;
    int32_t numControlPins;
    float smoothingCoeff;
    float fadeOutGain;
    float fadeInGain;
    int32_t fadeCounter;
    int32_t fadeBlocks;
    int32_t currentIndex;
    int32_t nextIndex;
};

constexpr std::array<Variable, 11> kVariables = {
    KVE_VARIABLE(MultiplexorV2Module, index, Int),          KVE_VARIABLE(MultiplexorV2Module, smoothingTime, Float),
    KVE_VARIABLE(MultiplexorV2Module, fadeTime, Float),     KVE_VARIABLE(MultiplexorV2Module, numControlPins, Int),
    KVE_VARIABLE(MultiplexorV2Module, smoothingCoeff, Float), KVE_VARIABLE(MultiplexorV2Module, fadeOutGain, Float),
    KVE_VARIABLE(MultiplexorV2Module, fadeInGain, Float),   KVE_VARIABLE(MultiplexorV2Module, fadeCounter, Int),
    KVE_VARIABLE(MultiplexorV2Module, fadeBlocks, Int),     KVE_VARIABLE(MultiplexorV2Module, currentIndex, Int),
    KVE_VARIABLE(MultiplexorV2Module, nextIndex, Int),
};

ClassModule *multiplexorV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return construct(kve_modMultiplexorV2Class, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void multiplexorV2Process(ClassModule *m)
{
    auto *x = reinterpret_cast<MultiplexorV2Module *>(m);
    const uint32_t first = firstAudioInput(m, x->numControlPins);
    if (!multiplexV2Switching(m, x, first, 1.0f))
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
    const uint32_t words = std::min({wireWords(from), wireWords(to), wireWords(out)});
    if (!isComplex(wire(m, first))) {
        const auto n = static_cast<int32_t>(words / ch);
        const auto chs = static_cast<int32_t>(ch);
        kve_vecScaleSmooth_Nch(samples(from), samples(out), chs, &x->fadeOutGain, 0.0f, x->smoothingCoeff, n);
        if (fadeIn)
            kve_vecScaleAddSmooth_Nch(samples(to), samples(out), chs, &x->fadeInGain, 1.0f, x->smoothingCoeff, n);
    } else {
        // Every part of every channel starts from the stored gains; the gains keep the last part's end values.
        const auto n = static_cast<int32_t>(words / (2 * ch));
        const auto stride = static_cast<int32_t>(2 * ch);
        float outGain = x->fadeOutGain;
        float inGain = x->fadeInGain;
        for (uint32_t k = 0; k < 2 * ch; ++k) {
            outGain = x->fadeOutGain;
            kve_vecScaleSmooth(samples(from) + k, stride, samples(out) + k, stride, &outGain, 0.0f,
                               x->smoothingCoeff, n);
            if (!fadeIn)
                continue;
            inGain = x->fadeInGain;
            kve_vecScaleAddSmooth(samples(to) + k, stride, samples(out) + k, stride, &inGain, 1.0f,
                                  x->smoothingCoeff, n);
        }
        x->fadeOutGain = outGain;
        x->fadeInGain = inGain;
    }
    if (x->fadeInGain > 0.96f)
        x->currentIndex = x->nextIndex;
}

int32_t multiplexorV2Set(ClassModule *m, uint32_t)
{
    auto *x = reinterpret_cast<MultiplexorV2Module *>(m);
    const GenericWire *audio = wire(m, firstAudioInput(m, x->numControlPins));
    const float fs = audio->sampleRate;
    const uint32_t block = isComplex(audio) ? blockSize(audio) >> 1 : blockSize(audio);
    x->smoothingCoeff = design_smoother(1, x->smoothingTime, fs);
    x->fadeBlocks = blockCount(std::ceil(fs * x->fadeTime / (static_cast<float>(block) * 1000.0f)));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<11> kve_modMultiplexorV2Class = makeClass<11>(
    0xBEEF0868u, {multiplexorV2Constructor, multiplexorV2Process, multiplexV2Bypass<MultiplexorV2Module>, multiplexorV2Set}, kVariables);
