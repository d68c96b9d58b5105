// The stage walk the state-space cascades share.
#include "Modules/Advanced/HpBiquads.h"

namespace kve::hp {

using namespace kve::filters;
using namespace kve::scalers;

void runStateSpaceStages(const GenericWire *in, GenericWire *out, float *current, const float *target, bool glide,
                         float smoothingCoeff, float *state, uint32_t stages, uint32_t stateCapacity)
{
    // A wire that grew after construction is served only as far as the state was built; the served count is also
    // the stride between stages, so no stage's block leaves the array.
    const uint32_t served = tone::servedStageChannels(channels(in), stateCapacity, stages, kSectionStateWords);
    const int32_t n = frames(in, out);
    const float *src = samples(in);
    for (uint32_t s = 0; s < stages; ++s) {
        float *set = current + kSectionWords * s;
        if (glide)
            glideCoefficients(set, target + kSectionWords * s, smoothingCoeff, kSectionWords);
        stateSpaceChannels(src, samples(out), channels(in), served, set, state + kSectionStateWords * s * served, n);
        src = samples(out);
    }
}

} // namespace kve::hp
