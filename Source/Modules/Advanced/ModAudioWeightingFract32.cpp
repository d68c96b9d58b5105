// AudioWeightingFract32: the weighting filter on Fract32 samples; the inner BiquadCascadeFract32 converts each
// curve the host stores as floats in `weightingTable` when Set loads it, and an inner MuteUnmuteFract32 hides the
// switch.
#include "Modules/Advanced/Composites.h"
#include "Modules/Standard/FiltersFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

constexpr uint32_t kMuteUnmuteFract32 = 0xBEEF089Bu;

// Not triggered until Set; fade out over 0.1 ms, hold 100 ms, fade in over 50 ms, with the Q1.31 half-cosine steps
// of 5 and 2400 samples.
constexpr uint32_t kMuteArgs[] = {
    0, word(0.1f), word(100.0f), word(50.0f), 5, 4800, 2400, 1737350766, 1262259218, 2147481808, 2811049, 0, 0, 0,
};

void clearState(ClassModule *cascade)
{
    auto *c = reinterpret_cast<kve::filters::BiquadCascadeFract32Module *>(cascade);
    std::fill_n(c->state, capacity(cascade, 2), 0);
}

void load(ClassModule *cascade) { ClassModule_Set(cascade, KVE_MASK_ALL); }

constexpr WeightingInner kInner = {kve::filters::kBiquadCascadeFract32Id, kMuteUnmuteFract32, kMuteArgs,
                                   kve::filters::cascadeStageCapacity, clearState, load};

} // namespace

extern "C" constinit const ClassRecord<5> kve_modAudioWeightingFract32Class =
    makeClass<5>(0xBEEF0CBDu,
                 {weightingConstructor<&kve_modAudioWeightingFract32Class, kInner>, runInnerModules,
                  IOMatchUpModule_Bypass, weightingSet<kInner>},
                 kAudioWeightingVariables);
