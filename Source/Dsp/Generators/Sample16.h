// The 16-bit samples of the compact delay lines: how a Fract32 or float sample is stored and read back.
#pragma once

#include <cmath>
#include <cstdint>

#include "kve/kve_types.h"

// The top 16 bits of x rounded half up: (x + 0x8000) >> 16, formed in 64 bits; sums from 0x7FFFFFFF up (inputs
// from 0x7FFF7FFF up) store 32767 rather than wrapping to -32768.
static inline int16_t kve_fract32To16(Fract32 x)
{
    const int64_t v = static_cast<int64_t>(x) + 32768;
    if (v >= INT32_MAX) {
        return INT16_MAX;
    }
    return static_cast<int16_t>(v >> 16);
}

// A stored 16-bit sample as a Fract32: its bits at the top of the word.
static inline Fract32 kve_16ToFract32(int16_t s)
{
    return static_cast<Fract32>(static_cast<uint32_t>(static_cast<int32_t>(s)) << 16);
}

// x x 32768 plus 0.5, truncated toward zero, from -32768 up to 32767. Products from 32767.5 up store 32767: rounded
// up they would be 32768, which as a 16-bit sample is -1.0. NaN stores 0.
static inline int16_t kve_floatTo16(float x)
{
    if (std::isnan(x)) {
        return 0;
    }
    const float v = x * 32768.0f;
    if (v >= 32767.5f) {
        return INT16_MAX;
    }
    return static_cast<int16_t>(std::fmax(v, -32768.0f) + 0.5f);
}

// A stored 16-bit sample as a float: the sample over 32767.
static inline float kve_16ToFloat(int16_t s)
{
    return static_cast<float>(s) * 3.051851e-5f;
}
