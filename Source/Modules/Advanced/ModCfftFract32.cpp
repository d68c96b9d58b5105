// CfftFract32: each channel's N complex values (N half the input block) to their N bins through the
// block-floating-point FFT, with saturation at the true scale; `dir` -1 weights the values by `scale` and runs the
// unnormalised inverse sum by conjugating before and after the forward transform.
#include "Modules/Advanced/FftModules.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::fftmod;
using kve::scalers::channels;
using kve::scalers::words;

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(CfftFract32Module, dir, Int),
    KVE_VARIABLE(CfftFract32Module, scale, Fract32),
};

ClassModule *cfftFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    const int32_t n = blockOf(wireWord, wires, 0) / 2;
    return constructFixedFft(kve_modCfftFract32Class.record, kVariables.data(), kVariables.size(), n,
                             2u * static_cast<uint32_t>(n), 2u * static_cast<uint32_t>(n), status, wireWord, wires,
                             argc, args);
}

void cfftFract32Process(ClassModule *m)
{
    const auto *s = reinterpret_cast<CfftFract32Module *>(m);
    const GenericWire *in = wire(m, 0);
    Fract32 *out = words(wire(m, 1));
    Fract32 *work = words(wire(m, 2));
    const bool inverse = s->dir == -1;
    const auto ch = static_cast<int32_t>(channels(in));
    const auto n = static_cast<int32_t>(blockSize(in)) / 2;
    for (int32_t c = 0; c < ch; ++c) {
        copyComplex(words(in) + 2 * c, 2 * ch, work, 2, n);
        if (inverse) {
            kve_vecScaleFract32(work, 1, work, 1, s->scale, 0, 2 * n);
            conjugate(work, n);
        }
        const int32_t exponent = fixedTransform(work, n);
        if (inverse)
            conjugate(work, n);
        shiftOut(work, out + 2 * c, 2 * ch, exponent, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modCfftFract32Class =
    makeClass<2>(0xBEEF0CCDu, {cfftFract32Constructor, cfftFract32Process, IOMatchUpModule_Bypass}, kVariables);
