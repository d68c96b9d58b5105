// Code the state and timing control modules share.
#include "Modules/Advanced/StateControl.h"

#include <cmath>

namespace kve::statecontrol {

int32_t timeoutBlocks(float sampleRate, float timeout, uint32_t blockSize)
{
    const float product = sampleRate * timeout;
    const float blocks = product / static_cast<float>(blockSize == 0 ? 1 : blockSize) + 0.5f;
    if (std::isnan(blocks))
        return 0;
    if (blocks >= 2147483647.0f)
        return INT32_MAX;
    if (blocks <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(blocks);
}

int32_t playableLength(ClassModule *m, int32_t bufferLength, const void *buffer, int32_t *index)
{
    const int64_t capacity = kit::capacity(m, 0);
    const int64_t length = bufferLength < capacity ? bufferLength : capacity;
    if (buffer == nullptr || length < 1)
        return 0;
    int64_t i = *index % length;
    if (i < 0)
        i += length;
    *index = static_cast<int32_t>(i);
    return static_cast<int32_t>(length);
}

} // namespace kve::statecontrol
