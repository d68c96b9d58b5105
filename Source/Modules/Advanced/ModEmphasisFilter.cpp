// EmphasisFilter: a pre- or de-emphasis filter, or pass-through, that an inner BiquadSmoothed glides toward block by
// block whenever Set designs a new one.
#include "Modules/Advanced/Composites.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

constexpr uint32_t kBiquadSmoothed = 0xBEEF080Du;

// Updating, 10 ms glide, pass-through as both target and current coefficients (b0..a2, then their current values),
// and the glide step.
constexpr uint32_t kInnerArgs[] = {
    1, word(10.0f), word(1.0f), word(0.0f), word(0.0f), 0, 0, word(1.0f), 0, 0, 0, 0, kInnerGlideStep,
};

int32_t emphasisFilterSet(ClassModule *m, uint32_t)
{
    auto *inner = reinterpret_cast<kve::filters::BiquadSmoothedModule *>(
        reinterpret_cast<EmphasisFilterModule *>(m)->inner);
    // The glide halts while the targets change, so it never heads for a half-written set.
    inner->updateActive = 0;
    float c[kSetWords];
    designEmphasis(m, c);
    // The targets b0, b1, b2, a1, a2 are the inner module's variables 2 to 6.
    for (uint32_t k = 0; k < kSetWords; ++k)
        innerVariable<float>(&inner->header, 2 + k) = c[k];
    inner->updateActive = 1;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modEmphasisFilterClass =
    makeClass<3>(0xBEEF0CF3u,
                 {emphasisConstructor<&kve_modEmphasisFilterClass, kBiquadSmoothed, kInnerArgs>, runInnerModules,
                  IOMatchUpModule_Bypass, emphasisFilterSet},
                 kEmphasisFilterVariables);
