// Each input is a WAVE file held in memory, read in the channel mode and trim its length picks. Besides the
// sanitizers' checks the reader must keep what a caller builds on: a failure says why and hands out no block, and a
// whole read agrees with the count a count-only read gives of the same file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

namespace {

void require(bool promise)
{
    if (!promise)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (stream == nullptr)
        return 0;
    gsResult *result = GS_NewResult();
    const int32_t mode = int32_t(size % 3);
    const double startMs = size % 5 == 0 ? 10.0 : -1.0;
    const double endMs = size % 7 == 0 ? 50.0 : -1.0;

    int16_t *samples = nullptr;
    uint32_t rate = 0, count = 0, channels = 0;
    const int status = riffReadWave(result, stream, &samples, &rate, &count, mode, &channels, startMs, endMs);
    require(status == 0 || status == 1);
    if (status == 1)
        require(samples == nullptr && result->text[0] != '\0');
    // Every sample handed out is read, so that the sanitizers see a block shorter than its count.
    int64_t sum = 0;
    for (uint32_t i = 0; i < count && status == 0; ++i)
        sum += samples[i];
    require(sum >= -32768ll * count && sum <= 32767ll * count);
    dbFree(samples);

    uint32_t counted = 0;
    GS_ResetResult(result);
    const int countStatus = riffReadWave(result, stream, nullptr, &rate, &counted, mode, nullptr, 0.0, -1.0);
    if (status == 0 && countStatus == 0 && channels != 0 && startMs < 0.0 && endMs < 0.0)
        require(counted == count);
    GS_FreeResult(result);
    fclose(stream);
    return 0;
}
