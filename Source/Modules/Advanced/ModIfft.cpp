// Ifft: each channel's N/2 + 1 bins back to its N real samples (N the output block, a power of two from 4 to 16384,
// the input block N + 2), scaled by 1/N so that it undoes Fft; the imaginary parts of bins 0 and N/2 are not read.
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

ClassModule *ifftConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    // The bins and the samples must agree on N: Process reads N/2 + 1 bins and writes N samples.
    const int32_t out = blockOf(wireWord, wires, 1);
    const int32_t n = blockOf(wireWord, wires, 0) == out + 2 ? out : 0;
    const auto &v = kFftModuleVariables;
    return constructFloatFft(kve_modIfftClass.record, v.data(), v.size(), offsetof(FftModule, fftState),
                             PlanKind::Real, n, static_cast<uint32_t>(n), static_cast<uint32_t>(n) + 2,
                             KVE_HEAPS_LONG_STATE, status, wireWord, wires, argc, args);
}

void ifftProcess(ClassModule *m)
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
    if (ch == 1) {
        plan->inverse(reinterpret_cast<const FftComplex *>(samples(in)), samples(out));
        return;
    }
    // Two channels are one complex transform whose values are the output's interleaved samples.
    if (ch == 2) {
        plan->inversePair(samples(in), samples(out), reinterpret_cast<FftComplex *>(s->buffer));
        return;
    }
    float *scratch = samples(wire(m, 2));
    for (int32_t c = 0; c < ch; ++c) {
        copyComplex(samples(in) + 2 * c, 2 * ch, scratch, 2, bins);
        plan->inverse(reinterpret_cast<const FftComplex *>(scratch), s->buffer);
        kve_vecCopy32(s->buffer, 1, samples(out) + c, ch, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modIfftClass =
    makeClass<1>(0xBEEF0D09u, {ifftConstructor, ifftProcess, IOMatchUpModule_Bypass, setRealFft}, kFftModuleVariables);
