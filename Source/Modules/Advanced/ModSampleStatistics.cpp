// SampleStatistics: one statistic over the channels of every frame, into one channel: the extreme value or magnitude
// (with the channel holding it on a second output), or the mean, RMS, standard deviation, variance, mean energy, sum
// or sum of squares. Sums run over the channels from channel 0 upward in single precision; the deviation and the
// variance are of the population (divided by the channel count).
#include <cmath>

#include "Dsp/Neon.h"
#include "Modules/Advanced/SampleStatistics.h"
#include "Modules/Standard/Shapes.h"

namespace {

using namespace kve::kit;
using namespace kve::samplestats;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(SampleStatisticsModule, statisticType, Int),
};

float magnitude(float x) { return std::fabs(x); }
float squared(float x) { return x * x; }

// Output 0 as the sum over the channels of each frame of Term(x), swept one channel at a time over the block.
template <float (*Term)(float)> void sums(const Frames<float> &f)
{
    for (uint32_t n = 0; n < f.frames; ++n)
        f.out[n] = Term(f.in[n * f.channels]);
    for (uint32_t c = 1; c < f.channels; ++c)
        for (uint32_t n = 0; n < f.frames; ++n)
            f.out[n] += Term(f.in[n * f.channels + c]);
}

// Output 0, holding the mean of every frame, becomes the sum of squared deviations from it; four frames at a time,
// then the frames left over one by one, each lane adding the channels in the same order as the scalar tail.
void squaredDeviations(const Frames<float> &f)
{
    const uint32_t m = f.channels;
    uint32_t n = 0;
    for (; n + 4 <= f.frames; n += 4) {
        const float32x4_t mean = vld1q_f32(f.out + n);
        float32x4_t sum = vdupq_n_f32(0.0f);
        for (uint32_t c = 0; c < m; ++c) {
            const float lanes[4] = {f.in[n * m + c], f.in[(n + 1) * m + c], f.in[(n + 2) * m + c],
                                    f.in[(n + 3) * m + c]};
            const float32x4_t d = vsubq_f32(vld1q_f32(lanes), mean);
            sum = vaddq_f32(sum, vmulq_f32(d, d));
        }
        vst1q_f32(f.out + n, sum);
    }
    for (; n < f.frames; ++n) {
        float sum = 0.0f;
        for (uint32_t c = 0; c < m; ++c) {
            const float d = f.in[n * m + c] - f.out[n];
            sum += d * d;
        }
        f.out[n] = sum;
    }
}

void sampleStatisticsProcess(ClassModule *m)
{
    const int32_t type = reinterpret_cast<SampleStatisticsModule *>(m)->statisticType;
    const Frames<float> f = framesOf<float>(m);
    if (f.frames == 0 || extremesByType<float, magnitude>(f, type))
        return;
    const float perChannel = 1.0f / static_cast<float>(f.channels);
    const auto n = static_cast<int32_t>(f.frames);
    switch (type) {
    case 4:
    case 6:
    case 7:
    case 9:
        sums<asIs<float>>(f);
        break;
    case 5:
    case 8:
    case 10:
        sums<squared>(f);
        break;
    default:
        return;
    }
    if (type == 9 || type == 10)
        return;
    kve_vecScale(f.out, 1, f.out, 1, perChannel, n);
    if (type == 6 || type == 7) {
        squaredDeviations(f);
        kve_vecScale(f.out, 1, f.out, 1, perChannel, n);
    }
    if (type == 5 || type == 6)
        kve_vecSqrt(f.out, 1, f.out, 1, n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modSampleStatisticsClass = makeClass<1>(
    0xBEEF0D28u, {kve::shapes::wired<&kve_modSampleStatisticsClass, 1, 1>, sampleStatisticsProcess}, kVariables);
