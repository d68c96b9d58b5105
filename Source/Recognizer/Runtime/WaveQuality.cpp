// Whether a recording can be trusted: samples beyond the clip level, samples pressed flat against a level below it
// (saturation: an input stage that limits before the converter does), and runs of one repeated value too long for
// a live signal (a stuck or dropped-out input).
#include "WaveQuality.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(sizeof(waveQuality) == 24 && offsetof(waveQuality, stuckRuns) == 20);
static_assert(sizeof(waveQualityConfig) == 20 && offsetof(waveQualityConfig, clipLevel) == 12);

namespace {

// A rate below 1 Hz (or NaN) cannot turn sample counts into times.
bool usableRate(float rate)
{
    return rate >= 1.0f;
}

// Counts each frame once, however many of its samples are hit: a frame is a new one after every `length` samples.
class FrameTally {
public:
    FrameTally(int64_t length, float rate, bool verbose, const char *what)
        : length_(length), rate_(rate), verbose_(verbose), what_(what)
    {
    }
    void next()
    {
        ++frame_;
        hit_ = false;
    }
    void hit(uint32_t &frames)
    {
        if (hit_)
            return;
        hit_ = true;
        ++frames;
        if (verbose_)
            std::printf("\t%s at frame %u = %.2f msec\n", what_, frame_,
                        static_cast<double>(frame_) * 1000.0 * static_cast<double>(length_) / rate_);
    }

private:
    int64_t length_;
    float rate_;
    bool verbose_;
    const char *what_;
    uint32_t frame_ = 0;
    bool hit_ = false;
};

// Within the tolerance when the sample moved by at most that share of itself from the one `back` places before.
bool flatFrom(const int16_t *x, int64_t i, int back, float tolerance)
{
    const auto change = static_cast<float>(std::abs(x[i] - x[i - back]));
    return change / static_cast<float>(x[i]) <= tolerance;
}

} // namespace

extern "C" void waveCountStuckRuns(const int16_t *samples, int32_t count, const waveQualityConfig *config,
                                   waveQuality *result, float sampleRate)
{
    if (config == nullptr || result == nullptr || config->stuckLimitMs == 0.0f || !usableRate(sampleRate))
        return;
    if (samples == nullptr)
        count = 0;
    uint32_t runs = 0;
    int64_t run = 0;
    for (int32_t i = 1; i < count; ++i) {
        if (samples[i] == samples[i - 1]) {
            ++run;
            continue;
        }
        // Only a run that has ended counts: one still open at the end may be the start of a fade-out.
        if (static_cast<double>(run) * 1000.0 / sampleRate > config->stuckLimitMs)
            ++runs;
        run = 0;
    }
    result->stuckRuns = runs;
}

extern "C" void waveClipStats(const int16_t *samples, int32_t count, const waveQualityConfig *config,
                              waveQuality *result, float frameMs, float sampleRate)
{
    if (config == nullptr || result == nullptr || !usableRate(sampleRate))
        return;
    if (samples == nullptr || count < 0)
        count = 0;
    const int64_t frameLength =
        std::max<int64_t>(1, wavequality::floorToCount(static_cast<double>(frameMs) / 1000.0 * sampleRate, INT32_MAX));
    const bool verbose = config->verbose != 0;
    const int64_t clipLevel = config->clipLevel;

    uint32_t frames = 0;
    uint32_t clipped = 0;
    int32_t peak = 0;
    FrameTally clipping(frameLength, sampleRate, verbose, "clipping");
    for (int64_t i = 0, inFrame = 0; i < count; ++i) {
        const int32_t x = samples[i];
        if (x > clipLevel || x < -clipLevel) {
            ++clipped;
            clipping.hit(frames);
        }
        peak = std::max(peak, std::abs(x));
        if (++inFrame == frameLength) {
            inFrame = 0;
            clipping.next();
        }
    }

    // Saturation is judged against the loudest sample: a level the recording keeps returning to just below its peak,
    // with the three samples before it all within the slope tolerance.
    const float threshold = static_cast<float>(peak) * config->peakFactor;
    uint32_t saturated = 0;
    FrameTally saturation(frameLength, sampleRate, verbose, "saturation");
    for (int64_t i = 3; i < count; ++i) {
        if (i % frameLength == 0)
            saturation.next();
        const int32_t x = samples[i];
        if (x <= 0 || !(threshold <= static_cast<float>(x)) || x >= clipLevel)
            continue;
        const float tolerance = config->slopeTolerance;
        if (flatFrom(samples, i, 1, tolerance) && flatFrom(samples, i, 2, tolerance) &&
            flatFrom(samples, i, 3, tolerance)) {
            ++saturated;
            saturation.hit(frames);
        }
    }

    result->clipFrames = static_cast<float>(frames);
    result->clippedMs = static_cast<float>(clipped) * 1000.0f / sampleRate;
    result->clippedFraction = count > 0 ? static_cast<float>(clipped) / static_cast<float>(count) : 0.0f;
    result->saturatedMs = static_cast<float>(saturated) * 1000.0f / sampleRate;
    result->saturatedFraction = count > 0 ? static_cast<float>(saturated) / static_cast<float>(count) : 0.0f;
    if (verbose) {
        std::printf("CLIPPING: msec = %f, percent = %f, frames = %u\n", static_cast<double>(result->clippedMs),
                    static_cast<double>(result->clippedFraction), clipped);
        std::printf("SATURATION: count = %u/%u, msec = %f, percent = %f\n", saturated, static_cast<uint32_t>(count),
                    static_cast<double>(result->saturatedMs), static_cast<double>(result->saturatedFraction));
        std::printf("CLIP+SAT:   total frames = %u\n", frames);
    }
}

extern "C" waveQuality *waveCheckQuality(const int16_t *samples, int32_t count, const waveQualityConfig *config,
                                         float frameMs, float sampleRate)
{
    if (samples == nullptr || count < 1 || config == nullptr || !usableRate(sampleRate))
        return nullptr;
    auto *result = static_cast<waveQuality *>(dbMalloc(sizeof(waveQuality)));
    if (result == nullptr)
        return nullptr;
    std::memset(result, 0, sizeof *result);
    waveCountStuckRuns(samples, count, config, result, sampleRate);
    waveClipStats(samples, count, config, result, frameMs, sampleRate);
    return result;
}
