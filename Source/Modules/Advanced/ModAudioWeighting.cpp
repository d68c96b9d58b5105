// AudioWeighting: one of eight weighting curves the host stores in `weightingTable`, run by an inner BiquadCascade;
// an inner MuteUnmute after it hides each switch of curve behind a short fade out, a hold and a fade back in.
#include "Modules/Advanced/Composites.h"
#include "Modules/Standard/Filters.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

constexpr uint32_t kMuteUnmute = 0xBEEF081Du;

// Triggered at once; fade out over 0.1 ms, hold 100 ms, fade in over 50 ms (5, 4800 and 2400 samples at 48 kHz,
// with the half-cosine steps of those lengths); the MuteUnmute's Set derives the lengths again from the wire's rate.
constexpr uint32_t kMuteArgs[] = {
    1, word(0.1f), word(100.0f), word(50.0f), 5, 4800, 2400,
    word(0.809017f), word(0.5877852f), word(0.99999917f), word(0.0013089966f), word(0.0f), word(0.0f), 0,
};

uint32_t stageCapacity(ClassModule *cascade) { return capacity(cascade, 0) / kSetWords; }

void clearState(ClassModule *cascade)
{
    std::fill_n(reinterpret_cast<kve::filters::BiquadCascadeModule *>(cascade)->state, capacity(cascade, 1), 0.0f);
}

// The float cascade reads its coefficients as they stand.
void load(ClassModule *) {}

constexpr WeightingInner kInner = {kve::filters::kBiquadCascadeClassId, kMuteUnmute, kMuteArgs, stageCapacity,
                                   clearState, load};

} // namespace

extern "C" constinit const ClassRecord<5> kve_modAudioWeightingClass =
    makeClass<5>(0xBEEF0CBEu,
                 {weightingConstructor<&kve_modAudioWeightingClass, kInner>, runInnerModules, IOMatchUpModule_Bypass,
                  weightingSet<kInner>},
                 kAudioWeightingVariables);
