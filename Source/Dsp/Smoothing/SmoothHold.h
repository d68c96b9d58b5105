// When a float smoother may stop stepping its gain.
//
// The hold: a gain this close to its target is held for the whole call, since moving it further would change nothing
// audible.
//
// The resting point: the step g = g x keep + pull (keep = 1 - coeff, pull = coeff x target, one fused multiply-add)
// is a function of g alone, so once a step hands back the very bits it was given, every later step does the same.
// In single precision the recursion mostly comes to rest a little way off the target and never reaches the hold;
// from such a gain the rest of the glide is a plain scale by it, bit for bit the same samples.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

static inline bool kve_smoothHolds(float gain, float target)
{
    constexpr float kHoldDistance = 1e-10f;
    return std::fabs(target - gain) < kHoldDistance;
}

// Bit for bit the same gain (so -0 differs from +0, and a NaN equals only its own pattern).
static inline bool kve_sameGain(float a, float b)
{
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

// The step leaves the gain where it is.
static inline bool kve_smoothRests(float gain, float keep, float pull)
{
    return kve_sameGain(std::fma(gain, keep, pull), gain);
}

// Steps g before each of up to n samples and hands sample i its gain through apply(i, g), stopping once a step has
// left g unchanged; the test is made every fourth sample, off the chain of steps, which carries on meanwhile to the
// same gains. Returns the samples done; g is the gain of the last of them, which every later sample takes too.
template <class Apply>
static inline ptrdiff_t kve_glideToRest(float &g, float keep, float pull, ptrdiff_t n, Apply apply)
{
    ptrdiff_t i = 0;
    for (; n - i >= 4; i += 4) {
        g = std::fma(g, keep, pull);
        apply(i, g);
        g = std::fma(g, keep, pull);
        apply(i + 1, g);
        g = std::fma(g, keep, pull);
        apply(i + 2, g);
        const float before = g;
        g = std::fma(g, keep, pull);
        apply(i + 3, g);
        if (kve_sameGain(g, before)) {
            return i + 4;
        }
    }
    for (; i < n; ++i) {
        g = std::fma(g, keep, pull);
        apply(i, g);
    }
    return n;
}
