// Lengthens a recording with a tail of faint noise, so that analyses that need background after the speech find some
// and the recording does not end on a hard edge.
#include "WaveQuality.h"

#include <algorithm>
#include <cstring>

namespace {

// A pad of 65534 ms or more stands for the usual 300 ms.
constexpr int32_t kPadUsualFrom = 65534;
constexpr double kPadUsualMs = 300.0;
// The tail is a random walk of steps of -15..+15 from the recording's last sample, the same walk for every call.
constexpr uint32_t kTailSeed = 2;
constexpr int32_t kStepSpread = 31;
constexpr int32_t kStepBelow = 15;
// The walk keeps clear of the rails.
constexpr int32_t kTailLimit = 32000;

// A new block holding a copy of `bytes` bytes and room for `extra` more; null without memory.
void *copyWithRoom(const void *from, size_t bytes, size_t extra)
{
    if (bytes + extra == 0)
        return nullptr;
    void *block = dbMalloc(bytes + extra);
    if (block != nullptr && bytes > 0)
        std::memcpy(block, from, bytes);
    return block;
}

// Appends the walk; false without memory for the generator.
bool walkTail(int16_t *tail, int64_t length, int32_t from)
{
    srandomRecord *generator = srandomCreate(kTailSeed);
    if (generator == nullptr)
        return false;
    int32_t previous = from;
    for (int64_t k = 0; k < length; ++k) {
        // Worked out in full range before the clamp: a walk starting at full scale stays on its own rail.
        const auto step = static_cast<int32_t>(srandomNext(generator) % kStepSpread) - kStepBelow;
        previous = std::min(std::max(previous + step, -kTailLimit), kTailLimit);
        tail[k] = static_cast<int16_t>(previous);
    }
    srandomDestroy(generator);
    return true;
}

// The tail's length in samples, or -1 when the record cannot carry it (or has no rate to measure it by).
int64_t tailLength(const wave *recording, int32_t padMs, float tailFactor)
{
    if (padMs < 1)
        return 0;
    const double rate = wavequality::recordRate(recording);
    const double pad = padMs >= kPadUsualFrom ? kPadUsualMs : padMs;
    const double length = std::floor(rate * pad / 1000.0) + std::floor(tailFactor * 4.0 * rate / 1000.0);
    if (std::isnan(length) || length > static_cast<double>(UINT32_MAX - recording->sampleCount))
        return -1;
    return length < 0.0 ? 0 : static_cast<int64_t>(length);
}

} // namespace

extern "C" wave *wavePadNoise(const wave *recording, int32_t padMs, float tailFactor)
{
    if (recording == nullptr || (recording->sampleCount > 0 && recording->samples == nullptr) ||
        (recording->paramCount > 0 && recording->params == nullptr))
        return nullptr;
    const int64_t tail = tailLength(recording, padMs, tailFactor);
    if (tail < 0)
        return nullptr;
    const uint32_t count = recording->sampleCount;
    auto *padded = static_cast<wave *>(dbMalloc(sizeof(wave)));
    if (padded == nullptr)
        return nullptr;
    padded->sampleCount = static_cast<uint32_t>(count + tail);
    padded->paramCount = recording->paramCount;
    padded->samples = static_cast<int16_t *>(
        copyWithRoom(recording->samples, count * sizeof(int16_t), static_cast<size_t>(tail) * sizeof(int16_t)));
    padded->params = static_cast<float *>(copyWithRoom(recording->params, recording->paramCount * sizeof(float), 0));
    const bool copied = (padded->samples != nullptr || padded->sampleCount == 0) &&
                        (padded->params != nullptr || padded->paramCount == 0);
    // An empty recording's walk starts from silence.
    const int32_t last = count > 0 ? recording->samples[count - 1] : 0;
    if (!copied || (tail > 0 && !walkTail(padded->samples + count, tail, last))) {
        dbFree(padded->samples);
        dbFree(padded->params);
        dbFree(padded);
        return nullptr;
    }
    return padded;
}
