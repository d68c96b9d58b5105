// FIRDecimator: a polyphase decimating FIR per channel, output m lined up with input m x factor; a factor and tap
// count of 1 is a plain gain by the one tap. Each channel's filter runs on a linear history, four outputs at a time:
// the block and the last numTaps - 1 samples fit in the slice of state a ring of `stateLength` (at least numTaps +
// factor - 1) would take, so any layout that sizes the ring for the filter holds the history.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = DecimatorModule;

constexpr uint32_t kArrays = 2;

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(M, decimationFactor, Int),
    KVE_VARIABLE(M, numTaps, Int),
    KVE_VARIABLE(M, stateIndex, Int),
    KVE_VARIABLE(M, stateLength, Int),
    KVE_ARRAY(M, coeffs, FloatArray, perArgument(1)),
    KVE_ARRAY_IN(M, state, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

void decimatorProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const RateRun r = decimatorRun(m, s->decimationFactor, s->numTaps, s->stateLength, 0, 1);
    // The history the state holds beside the block bounds the taps.
    const int64_t taps = std::min<int64_t>(r.taps, int64_t{r.perChannel} - int64_t{r.count} * r.factor + 1);
    if (r.count < 1 || taps < 1)
        return;
    const auto *x = static_cast<const float *>(wire(m, 0)->buffer);
    auto *y = static_cast<float *>(wire(m, 1)->buffer);
    if (r.factor == 1 && taps == 1) {
        for (int32_t c = 0; c < r.channels; ++c)
            kve_vecScale(x + c, r.channels, y + c, r.channels, s->coeffs[0], r.count);
        return;
    }
    // The host writes its taps in time order at any moment; the filter reads them reversed.
    auto *reversed = reinterpret_cast<float *>(extraWords(m, kArrays));
    std::reverse_copy(s->coeffs, s->coeffs + taps, reversed);
    for (int32_t c = 0; c < r.channels; ++c)
        kve_vecFIR_Decimate_SIMD4(x + c, r.channels, y + c, r.channels, reversed, s->state + c * r.perChannel,
                                  &s->stateIndex, r.count, static_cast<int32_t>(taps), r.ring, r.factor);
}

// The host's taps are read as they stand every block: nothing to prepare.
int32_t decimatorSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFIRDecimatorClass =
    makeClass<6>(0xBEEF0CF8u,
                 {rateConstructor<&kve_modFIRDecimatorClass, &kVariables, 3, 2, true>, decimatorProcess,
                  decimatorProcess, decimatorSet},
                 kVariables);
