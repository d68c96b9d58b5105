// Where activity starts and ends in a recording, judged by a smoothed level against a multiple of the signal's
// deviation, and where its non-zero samples start and end.
#include "WaveQuality.h"

#include <cstddef>

static_assert(sizeof(waveEndpointConfig) == 32 && offsetof(waveEndpointConfig, sampleRate) == 28);

using wavequality::floorToCount;

namespace {

enum class Scan { Quiet, Rising, Active, Falling, Done };

// The running mean and deviation of the adaptive threshold. It starts as if a second of background of the smallest
// deviation had been heard, so that the first samples of a recording cannot set the threshold on their own, and the
// deviation stays within the configured bounds so that neither loud speech nor a dead input moves it too far.
class RunningLevel {
public:
    RunningLevel(double rate, double least, double most) : least_(least), most_(most)
    {
        weight_ = rate > 0.0 ? rate : 0.0;
        squares_ = weight_ * least * least;
    }
    void add(int16_t x)
    {
        weight_ += 1.0;
        sum_ += x;
        squares_ += static_cast<double>(x) * x;
        mean_ = sum_ / weight_;
        const double variance = squares_ / weight_ - mean_ * mean_;
        deviation_ = std::fmin(std::fmax(std::sqrt(variance > 0.0 ? variance : 0.0), least_), most_);
    }
    double mean() const { return mean_; }
    double deviation() const { return deviation_; }

private:
    double least_;
    double most_;
    double weight_;
    double sum_ = 0.0;
    double squares_;
    double mean_ = 0.0;
    double deviation_ = least_;
};

// Mean and deviation of the whole buffer.
void wholeLevel(const int16_t *x, int32_t count, float *mean, float *deviation)
{
    double sum = 0.0;
    for (int32_t i = 0; i < count; ++i)
        sum += x[i];
    const double m = sum / count;
    double squares = 0.0;
    for (int32_t i = 0; i < count; ++i)
        squares += (x[i] - m) * (x[i] - m);
    *mean = static_cast<float>(m);
    *deviation = static_cast<float>(std::sqrt(squares / count));
}

} // namespace

extern "C" waveEndpointConfig *waveEndpointDefaults(void)
{
    auto *config = static_cast<waveEndpointConfig *>(dbMalloc(sizeof(waveEndpointConfig)));
    if (config != nullptr)
        *config = {0.5f, 200, 40, 2000, 0.05f, 50.0f, 300.0f, 8000.0f};
    return config;
}

extern "C" void waveFindEndpoints(const int16_t *samples, int32_t count, const waveEndpointConfig *config,
                                  int32_t adaptive, int32_t *start, int32_t *end, float *mean, float *deviation)
{
    if (config == nullptr || start == nullptr || end == nullptr || mean == nullptr || deviation == nullptr)
        return;
    if (samples == nullptr || count < 0)
        count = 0;
    const double rate = config->sampleRate;
    const int64_t minActivity = floorToCount(rate * config->minActivityMs / 1000.0, count);
    const int64_t startLimit = floorToCount(rate * config->startLimitMs / 1000.0, count);
    const int64_t hold = floorToCount(config->endHoldMs * rate / 1000.0, count);

    RunningLevel running(rate, config->minDeviation, config->maxDeviation);
    float wholeMean = 0.0f;
    float wholeDeviation = 0.0f;
    if (!adaptive && count > 0)
        wholeLevel(samples, count, &wholeMean, &wholeDeviation);

    const double alpha = config->smoothing;
    double level = 0.0;
    Scan state = Scan::Quiet;
    int32_t first = 0;
    int32_t last = 0;
    int32_t mark = 0;
    for (int32_t i = 0; i < count && state != Scan::Done; ++i) {
        double centre = wholeMean;
        double threshold = config->thresholdFactor * wholeDeviation;
        if (adaptive) {
            running.add(samples[i]);
            centre = running.mean();
            threshold = config->thresholdFactor * running.deviation();
        }
        level = std::floor(alpha * std::fabs(samples[i] - centre) + (1.0 - alpha) * level);
        const bool above = level > threshold;
        const bool below = threshold > level;
        switch (state) {
        case Scan::Quiet:
            if (i > startLimit)
                state = Scan::Done;
            else if (above) {
                first = mark = i;
                state = Scan::Rising;
            }
            break;
        case Scan::Rising:
            // Activity shorter than the minimum was a click: look for a start again.
            if (below)
                state = Scan::Quiet;
            else if (i - mark > minActivity)
                state = Scan::Active;
            break;
        case Scan::Active:
            last = i;
            if (below) {
                mark = i;
                state = Scan::Falling;
            }
            break;
        case Scan::Falling:
            if (above)
                state = Scan::Active;
            else if (i - mark > hold)
                state = Scan::Done;
            break;
        case Scan::Done:
            break;
        }
    }
    *start = first;
    *end = last;
    *mean = adaptive ? static_cast<float>(running.mean()) : wholeMean;
    *deviation = adaptive ? static_cast<float>(running.deviation()) : wholeDeviation;
}

extern "C" void waveFindNonZeroBounds(const int16_t *samples, int32_t count, int32_t *first, int32_t *last)
{
    if (first == nullptr || last == nullptr)
        return;
    if (samples == nullptr || count < 1) {
        *first = 0;
        *last = -1;
        return;
    }
    int32_t f = 0;
    while (f < count && samples[f] == 0)
        ++f;
    int32_t l = count - 1;
    while (l >= 0 && samples[l] == 0)
        --l;
    *first = f;
    *last = l;
}
