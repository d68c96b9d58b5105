// Upsampler: each input frame followed by factor - 1 frames of zeros, with no filtering.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

void upsamplerProcess(ClassModule *m)
{
    const PlainRate r = plainRate(m);
    kve_vecFill(r.y, 1, 0.0f, static_cast<int32_t>(r.outFrames * r.channels));
    // Input frame k lands on output frame k x factor, for every k the output reaches.
    const uint64_t reached = (uint64_t{r.outFrames} + r.factor - 1) / r.factor;
    const auto n = static_cast<int32_t>(std::min<uint64_t>(r.inFrames, reached));
    const auto stride = static_cast<int32_t>(std::min<uint64_t>(uint64_t{r.channels} * r.factor, INT32_MAX));
    for (uint32_t c = 0; c < r.channels; ++c)
        kve_vecCopy32(r.x + c, static_cast<int32_t>(r.channels), r.y + c, stride, n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modUpsamplerClass = makeClass<1>(
    0xBEEF0D47u, {kve::shapes::wired<&kve_modUpsamplerClass, 1, 1>, upsamplerProcess, upsamplerProcess},
    {{KVE_VARIABLE(RateModule, factor, Int)}});
