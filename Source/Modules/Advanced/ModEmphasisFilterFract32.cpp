// EmphasisFilterFract32: the emphasis filter on Fract32 samples; Set designs into the float coefficients of an inner
// BiquadSmoothedFract32, which converts them and glides its Q1.31 words toward them.
#include "Modules/Advanced/Composites.h"
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

constexpr uint32_t kBiquadSmoothedFract32 = 0xBEEF0886u;

// Updating, 10 ms glide, its Q1.31 step, and the post shift of the current and of the next target words.
constexpr uint32_t kInnerArgs[] = {1, word(10.0f), 138497664, 1, 1};

int32_t emphasisFilterFract32Set(ClassModule *m, uint32_t)
{
    ClassModule *inner = reinterpret_cast<EmphasisFilterModule *>(m)->inner;
    auto *smoothed = reinterpret_cast<kve::filters::BiquadSmoothedFract32Module *>(inner);
    kve::filters::beginUpdate(smoothed->updateActive);
    designEmphasis(m, smoothed->coeffs);
    ClassModule_Set(inner, KVE_MASK_ALL);
    kve::filters::endUpdate(smoothed->updateActive);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modEmphasisFilterFract32Class =
    makeClass<3>(0xBEEF0CF2u,
                 {emphasisConstructor<&kve_modEmphasisFilterFract32Class, kBiquadSmoothedFract32, kInnerArgs>,
                  runInnerModules, IOMatchUpModule_Bypass, emphasisFilterFract32Set},
                 kEmphasisFilterVariables);
