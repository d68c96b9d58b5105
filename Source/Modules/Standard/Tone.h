// Class records of the smoothed second-order filter and tone-control modules, and the helpers they share beyond
// those of the biquad modules: the Q1.31 glide of running coefficients toward their designed targets, the Q1.31
// channel walk, and the stage-major state sizing that keeps host-written stage counts inside the arrays.
#pragma once

#include <algorithm>
#include <cmath>

#include "Modules/Standard/Filters.h"
#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
extern const kve::kit::ClassRecord<18> kve_modSecondOrderFilterSmoothedClass;
extern const kve::kit::ClassRecord<11> kve_modSecondOrderFilterSmoothedCascadeClass;
extern const kve::kit::ClassRecord<13> kve_modSecondOrderFilterSmoothedFract32Class;
extern const kve::kit::ClassRecord<14> kve_modSOFSmoothedCascadeFract32Class;
extern const kve::kit::ClassRecord<12> kve_modSofV2HpFract32Class;
extern const kve::kit::ClassRecord<18> kve_modThreeBandToneControlClass;
extern const kve::kit::ClassRecord<21> kve_modThreeBandToneControlFract32Class;
}

namespace kve::tone {

// One Q1.31 smoothing step, current = (current (0x7FFFFFFF - k) >> 31) + (target k >> 31): each product formed in
// 64 bits and shifted arithmetically, each term held at most at 0x7FFFFFFF, and the sum saturated. For k in
// 0..0x7FFFFFFF the sum always fits; a host may write any word into k, and with a negative k the two terms reach
// twice full scale, where a wrapped sum would flip the sign of a coefficient.
inline void glideFract32(Fract32 *current, const Fract32 *target, Fract32 k, uint32_t count)
{
    const int64_t complement = int64_t{INT32_MAX} - k;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t kept = std::min<int64_t>((int64_t{current[i]} * complement) >> 31, INT32_MAX);
        const int64_t moved = std::min<int64_t>((int64_t{target[i]} * k) >> 31, INT32_MAX);
        current[i] = kve_saturate64(kept + moved);
    }
}

// Q1.31 targets of a float design, each coefficient scaled by `scale` first (rounded half away from zero,
// saturating).
inline void toTargets(const float *coeffs, float scale, Fract32 *targets, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        targets[i] = kve_rounded(scale * coeffs[i]);
}

// Channels whose state blocks of `wordsPerChannel` words lie inside a stage-major state array of `capacity` words
// for `stages` stages; the served count is also the stride between stages, so a wire that grew after construction
// never pushes a stage's block past the array.
inline uint32_t servedStageChannels(uint32_t ch, uint32_t capacity, uint32_t stages, uint32_t wordsPerChannel)
{
    return stages == 0 ? ch : std::min(ch, capacity / (stages * wordsPerChannel));
}

// The construction length of a stage-major state array: `wordsPerChannel` words per stage (construction argument
// `stagesArgument`) per channel of the input wire.
template <size_t N>
std::array<kit::Variable, N> withStageState(std::array<kit::Variable, N> variables, uint32_t state,
                                            uint32_t stagesArgument, uint32_t wordsPerChannel,
                                            GenericWire *const *wires)
{
    const uint32_t ch = wires != nullptr && wires[0] != nullptr ? scalers::channels(wires[0]) : 0;
    variables[state].length = kit::perArgument(stagesArgument, wordsPerChannel * ch);
    return variables;
}

// One Q1.31 section over the first `served` channels, channel by channel; channel c's four state words at
// state + 4c.
inline void biquadChannelsFract32(const Fract32 *src, Fract32 *dst, uint32_t stride, uint32_t served,
                                  const Fract32 *coeffs, Fract32 *state, int32_t postShift, int32_t frames)
{
    const auto inc = static_cast<int32_t>(stride);
    for (uint32_t c = 0; c < served; ++c)
        kve_vecBiquadFract32(src + c, inc, dst + c, inc, coeffs, state + 4 * c, postShift, frames);
}

} // namespace kve::tone
