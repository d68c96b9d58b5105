// FftFract32: each channel's N real samples (N the input block) to its N/2 + 1 bins through the block-floating-point
// complex FFT of N points, brought back to the true scale with saturation: a spectrum beyond the Fract32 range
// stops at 0x7FFFFFFF or 0x80000000 instead of wrapping.
#include "Modules/Advanced/FftModules.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::fftmod;
using kve::scalers::channels;
using kve::scalers::words;

constexpr std::array<Variable, 0> kVariables = {};

ClassModule *fftFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                   const uint32_t *args)
{
    const int32_t n = blockOf(wireWord, wires, 0);
    return constructFixedFft(kve_modFftFract32Class.record, kVariables.data(), kVariables.size(), n,
                             static_cast<uint32_t>(n) + 2, 2u * static_cast<uint32_t>(n), status, wireWord, wires,
                             argc, args);
}

void fftFract32Process(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    Fract32 *out = words(wire(m, 1));
    Fract32 *work = words(wire(m, 2));
    const auto ch = static_cast<int32_t>(channels(in));
    const auto n = static_cast<int32_t>(blockSize(in));
    for (int32_t c = 0; c < ch; ++c) {
        kve_vecCopy32(words(in) + c, ch, work, 2, n);
        kve_vecFillFract32(work + 1, 2, 0, n);
        const int32_t exponent = fixedTransform(work, n);
        shiftOut(work, out + 2 * c, 2 * ch, exponent, n / 2 + 1);
    }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modFftFract32Class =
    makeClass<0>(0xBEEF0CF4u, {fftFract32Constructor, fftFract32Process, IOMatchUpModule_Bypass}, kVariables);
