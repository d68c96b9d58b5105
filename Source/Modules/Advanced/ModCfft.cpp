// Cfft: each channel's N complex values (N half the input block, a power of two from 4 to 16384) to their N bins,
// unscaled; `dir` -1 runs the inverse instead, scaled by 1/N.
#include "Modules/Advanced/FftModules.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::fftmod;
using kve::fft::ComplexFftPlan;
using kve::fft::FftComplex;
using kve::scalers::channels;
using kve::scalers::samples;

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(CfftModule, dir, Int),
    KVE_VARIABLE(CfftModule, fftState, Pointer),
    KVE_VARIABLE(CfftModule, reserved0, Pointer),
    KVE_VARIABLE(CfftModule, reserved1, Pointer),
};

ClassModule *cfftConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    const int32_t n = blockOf(wireWord, wires, 0) / 2;
    return constructFloatFft(kve_modCfftClass.record, kVariables.data(), kVariables.size(),
                             offsetof(CfftModule, fftState), PlanKind::Complex, n, 2u * static_cast<uint32_t>(n),
                             2u * static_cast<uint32_t>(n), KVE_HEAPS_DEFAULT, status, wireWord, wires, argc, args);
}

void transform(ComplexFftPlan *plan, bool inverse, const float *in, float *out)
{
    const auto *from = reinterpret_cast<const FftComplex *>(in);
    auto *to = reinterpret_cast<FftComplex *>(out);
    if (inverse)
        plan->inverse(from, to);
    else
        plan->forward(from, to);
}

void cfftProcess(ClassModule *m)
{
    const auto *cm = reinterpret_cast<CfftModule *>(m);
    const FftState *s = cm->fftState;
    GenericWire *out = wire(m, 1);
    auto *plan = heldPlan<ComplexFftPlan>(s, out);
    if (plan == nullptr)
        return;
    const bool inverse = cm->dir == -1;
    const GenericWire *in = wire(m, 0);
    const auto ch = static_cast<int32_t>(channels(in));
    const int32_t n = plan->size();
    if (ch == 1) {
        transform(plan, inverse, samples(in), samples(out));
        return;
    }
    // Each channel is read where it lies on the input and scaled, for an inverse, as it moves to the output.
    const float scale = inverse ? 1.0f / static_cast<float>(n) : 1.0f;
    const auto *from = reinterpret_cast<const FftComplex *>(samples(in));
    auto *work = reinterpret_cast<FftComplex *>(s->buffer);
    for (int32_t c = 0; c < ch; ++c) {
        plan->transformStrided(from + c, ch, work, inverse);
        float *to = samples(out) + 2 * c;
        for (int32_t k = 0; k < n; ++k) {
            to[2 * k * ch] = scale * work[k].re;
            to[2 * k * ch + 1] = scale * work[k].im;
        }
    }
}

int32_t cfftSet(ClassModule *m, uint32_t mask)
{
    return setFloatFft(reinterpret_cast<CfftModule *>(m)->fftState, PlanKind::Complex, mask);
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modCfftClass =
    makeClass<4>(0xBEEF0CCEu, {cfftConstructor, cfftProcess, IOMatchUpModule_Bypass, cfftSet}, kVariables);
