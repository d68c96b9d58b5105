// IfftFract32: each channel's N/2 + 1 bins (N the input block minus 2) to its N real samples: the spectrum made
// conjugate-symmetric, weighted by `scale` and conjugated, so that the forward block-floating-point FFT computes
// the unnormalised inverse sum; `scale` = 1/N gives the true inverse.
#include <algorithm>

#include "Modules/Advanced/FftModules.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::fftmod;
using kve::scalers::channels;
using kve::scalers::words;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(IfftFract32Module, scale, Fract32),
};

ClassModule *ifftFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    const int32_t n = blockOf(wireWord, wires, 0) - 2;
    return constructFixedFft(kve_modIfftFract32Class.record, kVariables.data(), kVariables.size(), n,
                             static_cast<uint32_t>(n), 2u * static_cast<uint32_t>(n), status, wireWord, wires, argc,
                             args);
}

// -x as a Fract32 product with -1.0: -1.0 itself becomes 0x7FFFFFFF.
Fract32 negated(Fract32 x) { return x == INT32_MIN ? INT32_MAX : -x; }

void ifftFract32Process(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    Fract32 *out = words(wire(m, 1));
    Fract32 *work = words(wire(m, 2));
    const Fract32 scale = reinterpret_cast<IfftFract32Module *>(m)->scale;
    const auto ch = static_cast<int32_t>(channels(in));
    const auto n = static_cast<int32_t>(blockSize(in)) - 2;
    const int32_t half = n / 2;
    for (int32_t c = 0; c < ch; ++c) {
        kve_vecFillFract32(work, 1, 0, 2 * n);
        // A block of no samples has no bin to read.
        copyComplex(words(in) + 2 * c, 2 * ch, work, 2, std::min(half + 1, n));
        // Bins above N/2 are the conjugates of those below it.
        for (int32_t k = 0; k + 2 <= half; ++k) {
            const Fract32 *from = work + 2 * (half - 1 - k);
            Fract32 *to = work + 2 * (half + 1 + k);
            to[0] = from[0];
            to[1] = negated(from[1]);
        }
        kve_vecScaleFract32(work, 1, work, 1, scale, 0, 2 * n);
        conjugate(work, n);
        const int32_t exponent = fixedTransform(work, n);
        kve_vecShift(work, 2, out + c, ch, exponent, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modIfftFract32Class =
    makeClass<1>(0xBEEF0D08u, {ifftFract32Constructor, ifftFract32Process, IOMatchUpModule_Bypass}, kVariables);
