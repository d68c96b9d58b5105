// Class records of the smoothed second-order filter and tone-control modules, and the helpers they share: the
// per-block glide of running coefficients toward their designed targets, the channel walks of the biquad kernels
// and the clamps that keep host-written stage counts inside the arrays allocated at construction.
#pragma once

#include <algorithm>
#include <cmath>

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

// Coefficients of one second-order section: b0, b1, b2, a1, a2.
constexpr uint32_t kSection = 5;

// One smoothing step of `count` running coefficients toward their targets, current = (1 - c) current + c target,
// with (1 - c) current fused onto c target.
inline void glide(float *current, const float *target, float c, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        current[i] = std::fma(1.0f - c, current[i], c * target[i]);
}

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

// The stages a host-written stage count may run: never below 0, never more than the construction allocated.
inline uint32_t servedStages(int32_t numStages, uint32_t capacity)
{
    return numStages < 1 ? 0 : std::min(static_cast<uint32_t>(numStages), capacity);
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

// One float section over the first `served` channels of interleaved frames `stride` samples apart: four channels
// at a time, then a pair, then a last single channel; channel c's two state words at state + 2c.
inline void biquadChannels(const float *src, float *dst, uint32_t stride, uint32_t served, const float *coeffs,
                           float *state, int32_t frames)
{
    const auto inc = static_cast<int32_t>(stride);
    uint32_t c = 0;
    for (; c + 4 <= served; c += 4)
        kve_vecBiquad_4ch(src + c, inc, dst + c, inc, coeffs, state + 2 * c, frames);
    if (c + 2 <= served) {
        kve_vecBiquad_2ch(src + c, inc, dst + c, inc, coeffs, state + 2 * c, frames);
        c += 2;
    }
    if (c < served)
        kve_vecBiquad(src + c, inc, dst + c, inc, coeffs, state + 2 * c, frames);
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
