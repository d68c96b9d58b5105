// The stage walk the state-space cascades share.
#include "Modules/Advanced/HpBiquads.h"

namespace kve::hp {

using namespace kve::filters;
using namespace kve::scalers;

namespace {

// Stages one cascade kernel call runs: the state of a channel pair for that many stages fits a small stack block.
constexpr uint32_t kStagesPerCall = 16;

// Moves the state of `width` channels (from channel c) for `stages` stages between the stage-major array (stage s,
// channel c at (s x served + c) x 2) and the cascade kernels' per-channel order (each channel's stages together).
void gatherState(const float *stageMajor, float *perChannel, uint32_t served, uint32_t c, uint32_t width,
                 uint32_t stages)
{
    for (uint32_t j = 0; j < width; ++j)
        for (uint32_t s = 0; s < stages; ++s)
            for (uint32_t w = 0; w < kSectionStateWords; ++w)
                perChannel[(j * stages + s) * kSectionStateWords + w] =
                    stageMajor[(s * served + c + j) * kSectionStateWords + w];
}

void scatterState(const float *perChannel, float *stageMajor, uint32_t served, uint32_t c, uint32_t width,
                  uint32_t stages)
{
    for (uint32_t j = 0; j < width; ++j)
        for (uint32_t s = 0; s < stages; ++s)
            for (uint32_t w = 0; w < kSectionStateWords; ++w)
                stageMajor[(s * served + c + j) * kSectionStateWords + w] =
                    perChannel[(j * stages + s) * kSectionStateWords + w];
}

} // namespace

// Channel by channel rather than stage by stage: each channel's result is the same, and a cascade kernel that runs
// every stage on a sample before the next keeps the recursion of one stage from waiting on itself.
void runStateSpaceStages(const GenericWire *in, GenericWire *out, float *current, const float *target, bool glide,
                         float smoothingCoeff, float *state, uint32_t stages, uint32_t stateCapacity)
{
    if (glide)
        glideCoefficients(current, target, smoothingCoeff, kSectionWords * stages);
    // A wire that grew after construction is served only as far as the state was built; the served count is also
    // the stride between stages, so no stage's block leaves the array.
    const uint32_t served = tone::servedStageChannels(channels(in), stateCapacity, stages, kSectionStateWords);
    const auto inc = static_cast<int32_t>(channels(in));
    const int32_t n = frames(in, out);
    float block[2 * kStagesPerCall * kSectionStateWords];
    for (uint32_t c = 0; c < served; c += 2) {
        const uint32_t width = std::min(2u, served - c);
        // Stage 0 reads the input; every later stage runs in place on the output.
        const float *src = samples(in) + c;
        float *dst = samples(out) + c;
        for (uint32_t first = 0; first < stages; first += kStagesPerCall) {
            const uint32_t count = std::min(kStagesPerCall, stages - first);
            float *stageState = state + first * served * kSectionStateWords;
            const float *sets = current + kSectionWords * first;
            gatherState(stageState, block, served, c, width, count);
            if (width == 2)
                kve_vecBiquadCascadeHP_2ch(src, inc, dst, inc, sets, block, static_cast<int32_t>(count), n);
            else
                kve_vecBiquadCascadeHP(src, inc, dst, inc, sets, block, static_cast<int32_t>(count), n);
            scatterState(block, stageState, served, c, width, count);
            src = dst;
        }
    }
}

} // namespace kve::hp
