// Downsampler: every factor-th frame of the input, starting with the first, with no filtering.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

void downsamplerProcess(ClassModule *m)
{
    const PlainRate r = plainRate(m);
    const auto n = static_cast<int32_t>(std::min(r.inFrames / r.factor, r.outFrames));
    const auto stride = static_cast<int32_t>(std::min<uint64_t>(uint64_t{r.channels} * r.factor, INT32_MAX));
    for (uint32_t c = 0; c < r.channels; ++c)
        kve_vecCopy32(r.x + c, stride, r.y + c, static_cast<int32_t>(r.channels), n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modDownsamplerClass = makeClass<1>(
    0xBEEF0CEDu, {kve::shapes::wired<&kve_modDownsamplerClass, 1, 1>, downsamplerProcess, downsamplerProcess},
    {{KVE_VARIABLE(RateModule, factor, Int)}});
