#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Dsp/Lanes.h"
#include "Dsp/Neon.h"
#include "Dsp/Smoothing/SmoothHold.h"
#include "kve/kve_vec.h"

namespace {

// The gains of the sixteen frames that follow a gain g, four frames to a register: lane f of register k holds
// frame 4k + f + 1, g x keep^(4k+f+1) + pull x (1 + keep + ... + keep^(4k+f)). This is the frame-by-frame
// recursion g = g x keep + pull unrolled, so that no gain waits for the one before it. It rounds differently from the
// frame-by-frame recursion, but stays at least as close to the exact curve.
class GainRamp {
public:
    GainRamp(float keep, float pull)
    {
        const float keep2 = keep * keep;
        const float keep3 = keep2 * keep;
        const float keep4 = keep2 * keep2;
        const float sum2 = 1.0f + keep;
        const float sum3 = sum2 + keep2;
        const float sum4 = sum3 + keep3;
        const float powers[4] = {keep, keep2, keep3, keep4};
        const float sums[4] = {pull, pull * sum2, pull * sum3, pull * sum4};
        power_[0] = vld1q_f32(powers);
        sum_[0] = vld1q_f32(sums);
        // Four frames further on: keep^(j+4) = keep^j x keep^4 and sum(j+4) = sum(4) + keep^4 x sum(j).
        for (int k = 1; k < 4; ++k) {
            power_[k] = vmulq_n_f32(power_[k - 1], keep4);
            sum_[k] = vfmaq_n_f32(vdupq_n_f32(sums[3]), sum_[k - 1], keep4);
        }
    }

    // Frames 4k + 1 to 4k + 4 after the gain held in every lane of g.
    float32x4_t gains(int k, float32x4_t g) const { return vfmaq_f32(sum_[k], power_[k], g); }

private:
    float32x4_t power_[4];
    float32x4_t sum_[4];
};

// The gain of the last of four frames, in every lane: the start of the next four. It stays in a register, so all
// that waits on the four frames before is one fused multiply-add and a lane copy.
float32x4_t lastGain(float32x4_t gains)
{
    return vdupq_laneq_f32(gains, 3);
}

// dst = src x g over count contiguous samples.
void scaleSamples(const float *src, float *dst, ptrdiff_t count, float g)
{
    ptrdiff_t i = 0;
    for (; count - i >= 16; i += 16) {
        const float32x4_t x0 = vld1q_f32(src + i);
        const float32x4_t x1 = vld1q_f32(src + i + 4);
        const float32x4_t x2 = vld1q_f32(src + i + 8);
        const float32x4_t x3 = vld1q_f32(src + i + 12);
        vst1q_f32(dst + i, vmulq_n_f32(x0, g));
        vst1q_f32(dst + i + 4, vmulq_n_f32(x1, g));
        vst1q_f32(dst + i + 8, vmulq_n_f32(x2, g));
        vst1q_f32(dst + i + 12, vmulq_n_f32(x3, g));
    }
    for (; count - i >= 4; i += 4) {
        vst1q_f32(dst + i, vmulq_n_f32(vld1q_f32(src + i), g));
    }
    for (; i < count; ++i) {
        dst[i] = src[i] * g;
    }
}

// One channel: sixteen, then four frames per step. Returns the frames done and leaves g at the last one's gain.
ptrdiff_t glideMono(const float *src, float *dst, const GainRamp &ramp, float &g, ptrdiff_t frames)
{
    float32x4_t gain = vdupq_n_f32(g);
    ptrdiff_t t = 0;
    for (; frames - t >= 16; t += 16) {
        const float32x4_t g0 = ramp.gains(0, gain);
        const float32x4_t g1 = ramp.gains(1, gain);
        const float32x4_t g2 = ramp.gains(2, gain);
        const float32x4_t g3 = ramp.gains(3, gain);
        gain = lastGain(g3);
        vst1q_f32(dst + t, vmulq_f32(vld1q_f32(src + t), g0));
        vst1q_f32(dst + t + 4, vmulq_f32(vld1q_f32(src + t + 4), g1));
        vst1q_f32(dst + t + 8, vmulq_f32(vld1q_f32(src + t + 8), g2));
        vst1q_f32(dst + t + 12, vmulq_f32(vld1q_f32(src + t + 12), g3));
    }
    for (; frames - t >= 4; t += 4) {
        const float32x4_t g0 = ramp.gains(0, gain);
        gain = lastGain(g0);
        vst1q_f32(dst + t, vmulq_f32(vld1q_f32(src + t), g0));
    }
    g = vgetq_lane_f32(gain, 0);
    return t;
}

// Four stereo frames (eight samples) at the four gains of one register.
void scaleStereo4(const float *src, float *dst, float32x4_t gains)
{
    vst1q_f32(dst, vmulq_f32(vld1q_f32(src), vzip1q_f32(gains, gains)));
    vst1q_f32(dst + 4, vmulq_f32(vld1q_f32(src + 4), vzip2q_f32(gains, gains)));
}

// Two channels: sixteen, then four frames per step.
ptrdiff_t glideStereo(const float *src, float *dst, const GainRamp &ramp, float &g, ptrdiff_t frames)
{
    float32x4_t gain = vdupq_n_f32(g);
    ptrdiff_t t = 0;
    for (; frames - t >= 16; t += 16) {
        const float32x4_t g0 = ramp.gains(0, gain);
        const float32x4_t g1 = ramp.gains(1, gain);
        const float32x4_t g2 = ramp.gains(2, gain);
        const float32x4_t g3 = ramp.gains(3, gain);
        gain = lastGain(g3);
        scaleStereo4(src + 2 * t, dst + 2 * t, g0);
        scaleStereo4(src + 2 * t + 8, dst + 2 * t + 8, g1);
        scaleStereo4(src + 2 * t + 16, dst + 2 * t + 16, g2);
        scaleStereo4(src + 2 * t + 24, dst + 2 * t + 24, g3);
    }
    for (; frames - t >= 4; t += 4) {
        const float32x4_t g0 = ramp.gains(0, gain);
        gain = lastGain(g0);
        scaleStereo4(src + 2 * t, dst + 2 * t, g0);
    }
    g = vgetq_lane_f32(gain, 0);
    return t;
}

// Eight or four adjacent channels of one frame, at one gain.
void scaleColumn8(const float *src, float *dst, float32x4_t gain)
{
    vst1q_f32(dst, vmulq_f32(vld1q_f32(src), gain));
    vst1q_f32(dst + 4, vmulq_f32(vld1q_f32(src + 4), gain));
}

void scaleColumn4(const float *src, float *dst, float32x4_t gain)
{
    vst1q_f32(dst, vmulq_f32(vld1q_f32(src), gain));
}

// Those channels in four successive frames, at the four gains of one register.
template <void (*scaleColumn)(const float *, float *, float32x4_t)>
void scaleColumnFrames4(const float *src, float *dst, ptrdiff_t channels, float32x4_t gains)
{
    scaleColumn(src, dst, vdupq_laneq_f32(gains, 0));
    scaleColumn(src + channels, dst + channels, vdupq_laneq_f32(gains, 1));
    scaleColumn(src + 2 * channels, dst + 2 * channels, vdupq_laneq_f32(gains, 2));
    scaleColumn(src + 3 * channels, dst + 3 * channels, vdupq_laneq_f32(gains, 3));
}

// Four frames of a single channel, gathered into one register.
void scaleChannelFrames4(const float *src, float *dst, ptrdiff_t channels, float32x4_t gains)
{
    kve_scatter4F32(dst, channels, vmulq_f32(kve_gather4F32(src, channels), gains));
}

// One column of channels through the whole frames in steps of four, from the gain g; returns the gain after them.
template <void (*scaleFrames4)(const float *, float *, ptrdiff_t, float32x4_t)>
float32x4_t glideColumn(const float *src, float *dst, ptrdiff_t channels, const GainRamp &ramp, float g,
                        ptrdiff_t frames)
{
    float32x4_t gain = vdupq_n_f32(g);
    for (ptrdiff_t t = 0; t < frames; t += 4) {
        const float32x4_t gains = ramp.gains(0, gain);
        gain = lastGain(gains);
        scaleFrames4(src + t * channels, dst + t * channels, channels, gains);
    }
    return gain;
}

// Three or more channels: columns of eight, then four, then single channels, each through the frames in steps of
// four from the same gain, so every column meets the same gains.
ptrdiff_t glideWide(const float *src, float *dst, ptrdiff_t channels, const GainRamp &ramp, float &g,
                    ptrdiff_t frames)
{
    const ptrdiff_t whole = frames - frames % 4;
    float32x4_t gain = vdupq_n_f32(g);
    ptrdiff_t c = 0;
    for (; channels - c >= 8; c += 8) {
        gain = glideColumn<scaleColumnFrames4<scaleColumn8>>(src + c, dst + c, channels, ramp, g, whole);
    }
    for (; channels - c >= 4; c += 4) {
        gain = glideColumn<scaleColumnFrames4<scaleColumn4>>(src + c, dst + c, channels, ramp, g, whole);
    }
    for (; c < channels; ++c) {
        gain = glideColumn<scaleChannelFrames4>(src + c, dst + c, channels, ramp, g, whole);
    }
    g = vgetq_lane_f32(gain, 0);
    return whole;
}

// One frame at gain g, channel by channel.
void scaleFrame(const float *src, float *dst, ptrdiff_t channels, float g)
{
    for (ptrdiff_t c = 0; c < channels; ++c) {
        dst[c] = src[c] * g;
    }
}

// The frame-by-frame recursion from g comes to rest after one or two frames. The unrolled gains have resting points
// of their own, a unit or two in the last place beside those of the frame-by-frame step, and may circle them for good
// without landing on one; so a glide that has come this close goes on frame by frame, which rests at once.
bool nearRest(float g, float keep, float pull)
{
    const float next = std::fma(g, keep, pull);
    const float after = std::fma(next, keep, pull);
    return kve_sameGain(after, next) || kve_smoothRests(after, keep, pull);
}

} // namespace

// Interleaved frames, every channel of a frame times the same gain g, g moved toward target once per frame before
// the frame: g = g x (1 - coeff) + coeff x target. Within 1e-10 of the target at entry the gain is held for the
// whole call and not stored back; otherwise the gain after the last frame is stored. Whole groups of four frames take
// their gains from the recursion unrolled (within float rounding of the frame-by-frame gains), the last one to three
// frames from the recursion itself; with two channels those frames are held instead when the gain has come within
// 1e-10 of the target. A gain at rest at entry (one that the step leaves unchanged) scales every frame as it is, and
// one that the frame-by-frame recursion brings to rest within two frames follows that recursion to rest and then
// does the same: bit for bit what the frame-by-frame recursion gives, at the cost of a plain scale.
extern "C" void kve_vecScaleSmooth_Nch(const float *src, float *dst, int32_t numChannels, float *gainState,
                                       float target, float coeff, int32_t n)
{
    if (numChannels < 1 || n < 1) {
        return;
    }
    const ptrdiff_t channels = numChannels;
    const ptrdiff_t frames = n;
    float g = *gainState;
    const float keep = 1.0f - coeff;
    const float pull = coeff * target;
    if (kve_smoothHolds(g, target) || kve_smoothRests(g, keep, pull)) {
        scaleSamples(src, dst, channels * frames, g);
        return;
    }
    if (nearRest(g, keep, pull)) {
        const ptrdiff_t t = kve_glideToRest(g, keep, pull, frames, [&](ptrdiff_t k, float gain) {
            scaleFrame(src + k * channels, dst + k * channels, channels, gain);
        });
        scaleSamples(src + t * channels, dst + t * channels, (frames - t) * channels, g);
        *gainState = g;
        return;
    }
    ptrdiff_t t = 0;
    if (frames >= 4) {
        const GainRamp ramp(keep, pull);
        if (channels == 1) {
            t = glideMono(src, dst, ramp, g, frames);
        } else if (channels == 2) {
            t = glideStereo(src, dst, ramp, g, frames);
        } else {
            t = glideWide(src, dst, channels, ramp, g, frames);
        }
    }
    const bool holdTail = channels == 2 && kve_smoothHolds(g, target);
    for (; t < frames; ++t) {
        if (!holdTail) {
            g = std::fma(g, keep, pull);
        }
        scaleFrame(src + t * channels, dst + t * channels, channels, g);
    }
    *gainState = g;
}
