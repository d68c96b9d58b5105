// Fft: each channel's N real samples (N the input block, a power of two from 4 to 16384) to its N/2 + 1 bins on a
// complex wire, unscaled; the imaginary parts of bins 0 and N/2 are exactly 0.
#include "Modules/Advanced/FftModules.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::fftmod;
using kve::fft::FftComplex;
using kve::fft::RealFftPlan;
using kve::scalers::channels;
using kve::scalers::samples;

ClassModule *fftConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    const int32_t n = blockOf(wireWord, wires, 0);
    const auto &v = kFftModuleVariables;
    return constructFloatFft(kve_modFftClass.record, v.data(), v.size(), offsetof(FftModule, fftState), PlanKind::Real,
                             n, static_cast<uint32_t>(n) + 2, static_cast<uint32_t>(n), KVE_HEAPS_LONG_STATE, status,
                             wireWord, wires, argc, args);
}

void fftProcess(ClassModule *m)
{
    const FftState *s = reinterpret_cast<FftModule *>(m)->fftState;
    GenericWire *out = wire(m, 1);
    auto *plan = heldPlan<RealFftPlan>(s, out);
    if (plan == nullptr)
        return;
    const GenericWire *in = wire(m, 0);
    const auto ch = static_cast<int32_t>(channels(in));
    const int32_t n = plan->size();
    const int32_t bins = n / 2 + 1;
    // One channel is already contiguous on both wires.
    if (ch == 1) {
        plan->forward(samples(in), reinterpret_cast<FftComplex *>(samples(out)));
        return;
    }
    // Channel pairs as one complex transform each, read and written in place on the wires.
    if (ch % 2 == 0) {
        for (int32_t c = 0; c < ch; c += 2)
            plan->forwardPair(samples(in) + c, ch, samples(out) + 2 * c, reinterpret_cast<FftComplex *>(s->buffer));
        return;
    }
    float *scratch = samples(wire(m, 2));
    for (int32_t c = 0; c < ch; ++c) {
        kve_vecCopy32(samples(in) + c, ch, scratch, 1, n);
        plan->forward(scratch, reinterpret_cast<FftComplex *>(s->buffer));
        copyComplex(s->buffer, 2, samples(out) + 2 * c, 2 * ch, bins);
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modFftClass =
    makeClass<1>(0xBEEF0CF5u, {fftConstructor, fftProcess, IOMatchUpModule_Bypass, setRealFft}, kFftModuleVariables);
