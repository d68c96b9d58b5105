// Finds the loudest stretch of a recording against its background: the recording is cut into 15 ms frames, and of
// every run of frames that leaves at least eight frames outside it, the one whose mean frame energy stands highest
// above the mean energy of the frames outside is taken. Enrollment uses it to keep the spoken phrase and drop the
// silence around it.
#include "WaveQuality.h"

#include <algorithm>

using wavequality::floorToCount;

namespace {

constexpr double kFrameMs = 15.0;
// A lead-in counts as repeated once more than this share of neighbours are equal, judged past its first 200 samples.
constexpr double kRepeatedShare = 0.8;
constexpr int64_t kRepeatJudgedFrom = 200;
// A stretch must leave more than this many frames outside it to have a background to stand against.
constexpr int64_t kOutsideFramesBelow = 8;
// Every frame's background is raised by this share of the whole energy spread evenly, so that a stretch between
// digital silence still has a finite ratio.
constexpr double kBackgroundFloor = 0.01;
// The ratio asked for is lowered by this much, in dB, before stretches are compared with it.
constexpr double kRatioAllowanceDb = 6.0;

// How many leading samples to leave out: a lead-in made mostly of repeats (a device holding one value before the
// signal starts) would otherwise pass for quiet background. The scan looks at most one second in and cuts where a
// run of three equal samples ends, so that the stretch starts on the last held value.
int64_t repeatedLeadIn(const int16_t *x, int64_t n, double rate)
{
    int64_t repeats = 0;
    bool repeated = false;
    int64_t i = 1;
    for (; i < n && static_cast<double>(i - 1) < rate; ++i) {
        if (x[i - 1] == x[i])
            ++repeats;
        if (i - 1 > kRepeatJudgedFrom) {
            const double share = static_cast<double>(repeats - 1) / static_cast<double>(i - 1);
            if (share > kRepeatedShare)
                repeated = true;
            else if (repeated)
                break;
        }
    }
    if (!repeated)
        return 0;
    // Stopping on a falling share or at the end of the scan both leave the last sample looked at.
    int64_t k = i - 1;
    if (k < 2)
        return k;
    while (k > 1 && !(x[k - 2] == x[k - 1] && x[k - 1] == x[k]))
        --k;
    return k;
}

// Frame energies about the mean of all framed samples, as sums in sample order.
void frameEnergies(const int16_t *x, int64_t frames, int64_t frameLength, double *energy)
{
    const int64_t framed = frames * frameLength;
    int64_t total = 0;
    for (int64_t i = 0; i < framed; ++i)
        total += x[i];
    const double mean = static_cast<double>(total) / static_cast<double>(framed);
    for (int64_t f = 0; f < frames; ++f) {
        const int16_t *frame = x + f * frameLength;
        double sum = 0.0;
        for (int64_t i = 0; i < frameLength; ++i) {
            const double d = frame[i] - mean;
            sum += d * d;
        }
        energy[f] = sum;
    }
}

// A frame that rises more than spikeDb above the frame before it and falls more than spikeDb to the frame after is
// a click, not speech: its energy becomes the mean of its neighbours'. The comparisons use the energies as they
// were, while each replacement sees the replaced frame before it.
void dropSpikes(double *energy, int64_t frames, double spikeDb, double *db)
{
    for (int64_t f = 0; f < frames; ++f)
        db[f] = 10.0 * std::log10(energy[f]);
    for (int64_t k = 0; k + 2 < frames; ++k)
        if (db[k + 1] - db[k] > spikeDb && db[k + 2] - db[k + 1] < -spikeDb)
            energy[k + 1] = (energy[k] + energy[k + 2]) / 2.0;
}

// before[i]: the energy before frame i; from[j]: the energy from frame j on; each raised by its share of the
// background floor. number[k] = k, so that frame counts enter the search as doubles without converting each time.
struct Sums {
    int64_t frames;
    double total;
    const double *before;
    const double *from;
    const double *number;
};

struct Stretch {
    int64_t firstFrame = 0;
    int64_t frames = 0;
};

// Whether any stretch from frame i, of shortest .. last frames, may have a ratio above bar. Compared without
// dividing, with a margin far wider than the rounding of the three divisions the ratio takes, so that no stretch
// that could win is passed over; most start frames are settled here, at the cost of a few multiplications each.
bool mayBeat(const Sums &sums, int64_t i, int64_t shortest, int64_t last, double bar)
{
    constexpr double kRoundingMargin = 1e-9;
    const double within = bar * (1.0 - kRoundingMargin);
    const double *after = sums.from + i;
    const double frames = sums.number[sums.frames];
    int any = 0;
    for (int64_t w = shortest; w <= last; ++w) {
        const double outside = sums.before[i] + after[w];
        any |= (sums.total - outside) * (frames - sums.number[w]) >= within * sums.number[w] * outside;
    }
    return any != 0;
}

// The best run of frames by inside-to-outside energy ratio. Earlier runs win ties: each start frame's ratios are
// worked out together, its best (first) one then weighed against the best so far.
Stretch loudestStretch(const Sums &sums, int64_t shortest, double least, double *ratio)
{
    Stretch best;
    double bestRatio = 0.0;
    const int64_t frames = sums.frames;
    const int64_t longest = frames - kOutsideFramesBelow;
    for (int64_t i = 0; i < frames; ++i) {
        const int64_t last = std::min(longest, frames - i);
        if (last < shortest || !mayBeat(sums, i, shortest, last, least > bestRatio ? least : bestRatio))
            continue;
        for (int64_t w = shortest; w <= last; ++w) {
            const double outside = sums.before[i] + sums.from[i + w];
            const double noise = outside / static_cast<double>(frames - w);
            const double r = (sums.total - outside) / static_cast<double>(w) / noise;
            ratio[w] = noise > 0.0 ? r : 0.0;
        }
        double rowBest = 0.0;
        for (int64_t w = shortest; w <= last; ++w)
            rowBest = ratio[w] > rowBest ? ratio[w] : rowBest;
        if (!(rowBest > bestRatio && rowBest > least))
            continue;
        int64_t w = shortest;
        while (ratio[w] != rowBest)
            ++w;
        bestRatio = rowBest;
        best = {i, w};
    }
    return best;
}

// The fewest frames a stretch may span: more samples than minLength ms' worth, and at least one frame.
int64_t shortestStretch(double minLengthMs, double rate, int64_t frameLength, int64_t frames)
{
    const double samples = std::floor(minLengthMs / 1000.0 * rate);
    if (std::isnan(samples) || samples >= static_cast<double>(frames * frameLength))
        return frames + 1;
    int64_t w = samples < 0.0 ? 1 : static_cast<int64_t>(samples / static_cast<double>(frameLength)) + 1;
    while (w > 1 && static_cast<double>((w - 1) * frameLength) > samples)
        --w;
    while (!(samples < static_cast<double>(w * frameLength)))
        ++w;
    return w;
}

// The stretch as [start, end) sample indexes of the framed recording; start = end = 0 when none qualifies.
void searchStretch(const int16_t *x, int64_t frames, int64_t frameLength, double rate, double minLengthMs,
                   double minRatioDb, double spikeDb, int64_t *start, int64_t *end)
{
    *start = 0;
    *end = 0;
    const auto slots = static_cast<size_t>(frames + 1);
    auto *work = static_cast<double *>(dbMalloc(5 * slots * sizeof(double)));
    if (work == nullptr)
        return;
    double *energy = work;
    double *before = work + slots;
    double *from = work + 2 * slots;
    double *number = work + 3 * slots;
    double *scratch = work + 4 * slots;
    frameEnergies(x, frames, frameLength, energy);
    if (spikeDb > 0.0)
        dropSpikes(energy, frames, spikeDb, scratch);

    before[0] = 0.0;
    for (int64_t f = 0; f < frames; ++f)
        before[f + 1] = before[f] + energy[f];
    from[frames] = 0.0;
    for (int64_t f = frames - 1; f >= 0; --f)
        from[f] = from[f + 1] + energy[f];
    const double total = before[frames];
    const double floorShare = kBackgroundFloor * total;
    for (int64_t f = 0; f < frames; ++f) {
        before[f] += static_cast<double>(f) * floorShare / static_cast<double>(frames);
        from[f] += static_cast<double>(frames - f) * floorShare / static_cast<double>(frames);
    }
    for (int64_t f = 0; f <= frames; ++f)
        number[f] = static_cast<double>(f);

    const double least = std::pow(10.0, (minRatioDb - kRatioAllowanceDb) / 10.0);
    const int64_t shortest = shortestStretch(minLengthMs, rate, frameLength, frames);
    const Stretch found = loudestStretch({frames, total, before, from, number}, shortest, least, scratch);
    if (found.frames > 0) {
        *start = found.firstFrame * frameLength;
        *end = *start + found.frames * frameLength;
    }
    dbFree(work);
}

int32_t toIndex(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

} // namespace

extern "C" int32_t waveAnalyzeLevels(const wave *recording, int32_t *start, int32_t *end, float minLengthMs,
                                     float minRatioDb, float spikeDb)
{
    if (recording == nullptr || start == nullptr || end == nullptr)
        return 0;
    const int64_t count = recording->samples == nullptr ? 0 : recording->sampleCount;
    const double rate = wavequality::recordRate(recording);
    *start = 0;
    *end = toIndex(count - 1);
    if (std::isnan(rate))
        return *end;

    const int16_t *x = recording->samples;
    const int64_t skipped = repeatedLeadIn(x, count, rate);
    x += skipped;
    const int64_t n = count - skipped;
    const int64_t frameLength = floorToCount(rate * kFrameMs / 1000.0, n + 1);
    const int64_t frames = frameLength == 0 ? 0 : n / frameLength;
    if (frames < 2)
        return skipped == 0 ? *end : toIndex(count);

    int64_t first = 0;
    int64_t last = 0;
    searchStretch(x, frames, frameLength, rate, minLengthMs, minRatioDb, spikeDb, &first, &last);
    const int64_t unclamped = last;
    if (last == 0 || last >= n)
        last = n - 1;
    *start = toIndex(first + skipped);
    *end = toIndex(last + skipped);
    return skipped == 0 ? toIndex(unclamped) : toIndex(count);
}
