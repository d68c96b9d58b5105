// Cutoffs and rates a host may hand a running Butterworth filter that its design cannot use as they are: each is
// written into a lowpass at 1000 Hz on a 48 kHz wire, the rate through the wire the filter reads it from.
#pragma once

#include <limits>

namespace butterworthtest {

struct UnusableCorner {
    const char *what;
    float cutoff;
    float rate;
};

inline constexpr float kWireRate = 48000.0f;

inline constexpr UnusableCorner kUnusableCorners[] = {
    {"a NaN cutoff", std::numeric_limits<float>::quiet_NaN(), kWireRate},
    {"an infinite cutoff", std::numeric_limits<float>::infinity(), kWireRate},
    {"a negative cutoff", -500.0f, kWireRate},
    {"a cutoff at half the rate", kWireRate / 2, kWireRate},
    {"a rate of 0", 1000.0f, 0.0f},
    {"a NaN rate", 1000.0f, std::numeric_limits<float>::quiet_NaN()},
    {"a negative rate", 1000.0f, -kWireRate},
};

} // namespace butterworthtest
